// Under LeakSanitizer, fontconfig (loaded by Qt to lay out text) reports a few of its own
// allocations as leaked at exit. They are not the tool's; every other leak still fails.
// The hook must be defined in each test executable that draws text: the sanitizer looks
// it up weakly, so a copy in a static library would never be linked.

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
