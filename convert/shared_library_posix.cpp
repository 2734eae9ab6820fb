#include <dlfcn.h>

#include "shared_library.h"

namespace ondavo {

#if defined(__APPLE__)
const char kCodecLibraryName[] = "libVek.dylib";
#else
const char kCodecLibraryName[] = "libVek.so";
#endif

LibraryHandle LoadSharedLibrary(const std::string& name, std::string* error) {
  // A bare name goes through LD_LIBRARY_PATH, the program's RUNPATH and the
  // loader cache. RTLD_LOCAL keeps the codec's own symbols to itself.
  LibraryHandle handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    *error = reason != nullptr ? reason : "unknown error";
  }
  return handle;
}

void* FindLibrarySymbol(LibraryHandle library, const char* symbol) {
  return ::dlsym(library, symbol);
}

}  // namespace ondavo
