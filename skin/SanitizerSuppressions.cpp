// Sanitizer settings for programs that draw text and pictures (tests, tools,
// the window). Link this object into a program built with a sanitizer; without
// one these hooks are never called.

// fontconfig links a pattern to its values by offsets, not pointers, so every
// pattern that pango caches looks unreachable to LeakSanitizer.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

// cairo recycles small objects such as solid colour sources through lock-free
// pools whose atomic operations are invisible to ThreadSanitizer in the
// uninstrumented library; a recycled object then looks raced between threads.
extern "C" const char* __tsan_default_suppressions() { return "race:libcairo.so\n"; }
