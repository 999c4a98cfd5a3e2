// Sanitizer settings for programs that use the desktop libraries (GTK, pango,
// fontconfig, cairo): the launcher, its tools and their tests. Link this
// object into such a program; without a sanitizer these hooks are never called.

// fontconfig links a pattern to its values by offsets, not pointers, and keeps
// its one-time allocations for the life of the process, so every pattern that
// pango caches looks unreachable to LeakSanitizer.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

// The uninstrumented libraries synchronise through their own means, which
// ThreadSanitizer cannot see: pango matches fonts on a fontconfig thread of its
// own and hands the result over through GLib's locks; cairo recycles small
// objects such as solid colour sources through lock-free pools; GLib's main
// context grows its arrays with g_realloc behind its own lock when other
// threads add sources.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so\n"
           "race:libcairo.so\n"
           "race:g_realloc\n";
}
