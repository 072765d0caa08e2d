#include "LazyLibrary.h"

#include <cstdio>
#include <cstdlib>

void* LazyLibrary::symbol(const char* soname, const char* name)
{
    // Opening an open library only counts a reference; the handle is kept for good.
    void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    // Looked up in that library and its dependencies only, never in the program itself,
    // whose stand-in has the same name.
    void* function = handle ? dlsym(handle, name) : nullptr;
    if (!function) {
        std::fprintf(stderr, "Tandrel: %s from %s could not be loaded: %s\n", name, soname, dlerror());
        std::abort();
    }
    return function;
}
