#pragma once

#include <dlfcn.h>

// Stand-ins for the C functions of a library that is loaded on first use instead of at
// start: a few libraries (FFmpeg, pocketsphinx) bring dozens of others with them and
// would slow every start of the program for features used now and then.
//
//   TANDREL_LAZY_FUNCTION("libfoo.so.1", int, foo_open, (const char* path), (path))
//
// defines `foo_open` with exactly the signature of the library's declaration (the compiler
// checks it), loading the library and the real function at the first call.
namespace LazyLibrary {
// The function `name` of the library `soname`; ends the program with a message when the
// library or the function is missing, as a dynamic link would have.
void* symbol(const char* soname, const char* name);
} // namespace LazyLibrary

#define TANDREL_LAZY_FUNCTION(soname, result, name, parameters, arguments)                                      \
    extern "C" result name parameters                                                                           \
    {                                                                                                           \
        static const auto real = reinterpret_cast<decltype(&name)>(LazyLibrary::symbol(soname, #name));        \
        return real arguments;                                                                                  \
    }
