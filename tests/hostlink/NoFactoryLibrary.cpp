// A library that loads but has no factory.
extern "C" __attribute__((visibility("default"))) int HostLibraryWithoutFactory() {
    return 0;
}
