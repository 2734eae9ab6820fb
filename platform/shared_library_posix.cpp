#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>

#include "shared_library.h"

namespace ondavo {

#if defined(__APPLE__)
const char kCodecLibraryName[] = "libVek.dylib";
#else
const char kCodecLibraryName[] = "libVek.so";
#endif
const char kLibrarySearch[] =
    "through LD_LIBRARY_PATH, the program's own lib/ondavo/ folder and the system";

namespace {

// The loader searches the folders of LD_LIBRARY_PATH in order and takes
// an empty or relative one as under the current folder, where anybody who
// can write there could have put a library of that name. Returns such a
// folder when it holds `name` and no full path ahead of it does, so that the
// loader would take the library from there. An LD_LIBRARY_PATH that is
// empty as a whole is no list at all to the loader. Folders that begin with
// '$' are the loader's to expand and are passed over.
std::string RelativeFolderHolding(const std::string& name) {
  const char* list = std::getenv("LD_LIBRARY_PATH");
  if (list == nullptr || *list == '\0') return {};
  std::string folders = list;
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find_first_of(":;", start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    start = end + 1;
    if (!folder.empty() && folder[0] == '$') continue;
    std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
    struct stat st;
    if (::stat(candidate.c_str(), &st) != 0) continue;
    if (folder.empty()) return ".";
    return folder[0] == '/' ? std::string() : folder;
  }
  return {};
}

}  // namespace

LibraryHandle LoadSharedLibrary(const std::string& name, std::string* error) {
  if (name.find('/') == std::string::npos) {
    std::string folder = RelativeFolderHolding(name);
    if (!folder.empty()) {
      *error = "LD_LIBRARY_PATH names the folder " + folder +
               " relative to the current one, and it holds a " + name +
               "; name folders there by their full paths";
      return nullptr;
    }
  }
  // A bare name goes through LD_LIBRARY_PATH, the program's RUNPATH (its own
  // lib folder) and the system's folders. RTLD_LOCAL keeps the codec's own
  // symbols to itself.
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
