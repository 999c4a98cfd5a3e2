// Sanitizer settings for the dialog tests; without a sanitizer these hooks
// are never called.

// Fontconfig keeps its one-time allocations for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

// Pango loads the font configuration on a thread of its own and hands it over
// through GLib's locks, which ThreadSanitizer cannot see in the uninstrumented
// libraries.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so\n";
}
