#include <cstdlib>  // defines __GLIBC__ under glibc

#include "app/UpdateApp.h"
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

CUpdateApp theApp;

// glibc's allocator, tuned for the launcher's peak memory before any thread
// starts. The launcher's threads (window, download and drawing, reports,
// host link, installer watcher) seldom allocate at the same time: one arena
// lets memory that one thread frees serve the others, where an arena per
// thread keeps its own free memory. A fixed mmap threshold keeps large
// temporary blocks (a decoded globe, a drawing band) out of the heap: glibc
// otherwise raises the threshold to the largest block freed so far, and
// blocks below it stay in the heap once freed.
void TuneAllocator() {
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    TuneAllocator();
    return theApp.InitInstance(argc, argv);
}
