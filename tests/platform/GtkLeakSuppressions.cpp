// Fontconfig keeps its one-time allocations for the life of the process;
// LeakSanitizer would report them when the dialog tests end.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
