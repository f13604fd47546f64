// Linked into every program of the sanitizer build, and nowhere else: a
// shared library, once loaded, stays loaded until the process ends.
//
// SDL loads the EGL library at run time and unloads it when the video system
// shuts down, and with it Mesa's EGL and DRI libraries. Those keep a few
// kilobytes for the life of the process (option tables, the display list),
// referenced from their own data. Once they are unloaded, LeakSanitizer finds
// that memory referenced by nothing, reports it as leaked, and cannot even
// name the library it came from, so no suppression could single it out.
// Kept loaded, the memory stays reachable from the library's data, as in any
// run that ends without unloading, and a leak that remains is reported with
// its library named.
//
// The symbol is defined here rather than declared through <dlfcn.h>, whose
// declaration is marked noexcept (throw()) and would clash with this one.
extern "C" int dlclose(void* handle) {
    (void)handle;
    return 0;
}
