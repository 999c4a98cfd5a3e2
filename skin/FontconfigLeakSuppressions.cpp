// Leak checking for programs that shape text: fontconfig links a pattern to
// its values by offsets, not pointers, so every pattern that pango caches
// looks unreachable to LeakSanitizer. Link this object into a program built
// with AddressSanitizer to skip those reports; without a sanitizer it is
// never called.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
