// Linked into every executable of a sanitizer build (-DRM_SANITIZE=...): the sanitizers ask for
// these at start-up.
extern "C" {

// Caches that system libraries keep until the process ends, by design: not leaks of ours.
__attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

__attribute__((visibility("default"), used)) const char* __lsan_default_options()
{
    return "print_suppressions=0";
}

__attribute__((visibility("default"), used)) const char* __ubsan_default_options()
{
    return "print_stacktrace=1";
}

} // extern "C"
