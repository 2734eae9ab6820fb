// Run-time loading of a shared library by its bare name, through the
// platform's own library search: dlopen on POSIX systems, LoadLibrary on
// Windows. The one place that knows which of the two it is.
#ifndef ONDAVO_PLATFORM_SHARED_LIBRARY_H_
#define ONDAVO_PLATFORM_SHARED_LIBRARY_H_

#include <string>

namespace ondavo {

using LibraryHandle = void*;

// The platform's file name of the codec library: "libVek.so" or "Vek.dll".
extern const char kCodecLibraryName[];
// Where the system's search finds it, for a help text: "found ...".
extern const char kLibrarySearch[];

// Returns null and the system's reason in `*error` when the library does not load.
LibraryHandle LoadSharedLibrary(const std::string& name, std::string* error);
// Returns null when `library` does not export `symbol`.
void* FindLibrarySymbol(LibraryHandle library, const char* symbol);

}  // namespace ondavo

#endif  // ONDAVO_PLATFORM_SHARED_LIBRARY_H_
