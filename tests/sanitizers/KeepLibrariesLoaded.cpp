// Linked into every program of the sanitizer build only.
//
// LeakSanitizer looks for leaks after the program has returned from main. By then Mesa has
// closed its GL driver (swrast_dri.so with libelf, libsensors and the libdrm family), and the
// driver's static storage, the only place that still pointed at its allocations, is gone: those
// blocks then show as leaks "from <unknown module>", depending on what the driver happened to
// allocate. Keeping every library mapped until the process ends leaves such pointers where the
// leak check can see them. The program's own code lives in the executable, which is never
// unloaded, so nothing of ours is hidden by this.
extern "C" int dlclose(void*) {
    return 0;
}
