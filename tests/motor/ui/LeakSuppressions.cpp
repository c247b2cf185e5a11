// Under LeakSanitizer, fontconfig (loaded by Qt to lay out text) reports a few of its own
// allocations as leaked at exit. They are not the tool's; every other leak still fails.
// Each test executable that draws text needs its own copy of the hook.

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
