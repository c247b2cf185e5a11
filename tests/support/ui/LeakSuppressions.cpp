// Under LeakSanitizer, fontconfig (loaded by Qt to lay out text) reports a few of its own
// allocations as leaked at exit. They are not the tool's; every other leak still fails.
// Every GUI test executable compiles this file itself: the sanitizer looks the hook up
// weakly, so a copy in a static library would never be linked.

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
