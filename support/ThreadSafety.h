// Clang's thread-safety attributes, so that the compiler checks which lock
// guards which member and in what order locks are taken (-Wthread-safety).
// Other compilers see nothing.
#pragma once

#if defined(__clang__)
#define VN_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define VN_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(name) VN_THREAD_ATTRIBUTE(capability(name))
#define SCOPED_CAPABILITY VN_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(lock) VN_THREAD_ATTRIBUTE(guarded_by(lock))
#define PT_GUARDED_BY(lock) VN_THREAD_ATTRIBUTE(pt_guarded_by(lock))
#define ACQUIRED_BEFORE(...) VN_THREAD_ATTRIBUTE(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) VN_THREAD_ATTRIBUTE(acquired_after(__VA_ARGS__))
#define REQUIRES(...) VN_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) VN_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) VN_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define EXCLUDES(...) VN_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define RETURN_CAPABILITY(x) VN_THREAD_ATTRIBUTE(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS VN_THREAD_ATTRIBUTE(no_thread_safety_analysis)
