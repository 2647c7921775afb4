/* Preloaded into the sanitizer build's test runs: dlclose does nothing, so every shared
 * library stays mapped until the process ends. The GL driver (and the sound and input
 * back ends) are loaded with dlopen and closed again at teardown; LeakSanitizer runs
 * after that and would report their leftovers as leaks in "<unknown module>", which no
 * suppression by library name can match and which hide where they came from. With the
 * libraries still mapped, their frames have names, lsan.supp can name the libraries,
 * and anything allocated by our own code is still reported.
 * Build: cc -shared -fPIC -o keep_modules.so keep_modules.c
 * Needs ASAN_OPTIONS=verify_asan_link_order=0 (the runtime is then not first in line). */
int dlclose(void *handle) {
    (void)handle;
    return 0;
}
