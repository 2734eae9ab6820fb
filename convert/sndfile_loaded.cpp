// libsndfile-1.dll loaded at the first FLAC, Ogg Opus or MP3 output, through
// the system's search that LoadSharedLibrary narrows to the program's own
// folder (and the system's): a DLL planted anywhere else is never used. The
// LAME and mpg123 DLLs it links are found beside it the same way. A missing
// DLL, or one without an entry point, fails those outputs alone.
#include <type_traits>

#include "shared_library.h"
#include "sndfile_api.h"

namespace ondavo {

namespace {

constexpr char kLibrary[] = "libsndfile-1.dll";

struct Loaded {
  SndfileApi api{};
  std::string error;  // empty when every entry point is there
};

Loaded Load() {
  Loaded loaded;
  std::string reason;
  const LibraryHandle library = LoadSharedLibrary(kLibrary, &reason);
  if (library == nullptr) {
    loaded.error =
        std::string(kLibrary) + " could not be loaded from the program's folder: " + reason;
    return loaded;
  }
  const auto bind = [&](auto& entry, const char* name) {
    entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
        FindLibrarySymbol(library, name));
    if (entry == nullptr && loaded.error.empty())
      loaded.error = std::string(kLibrary) + " has no entry point " + name;
  };
  bind(loaded.api.open_virtual, "sf_open_virtual");
  bind(loaded.api.command, "sf_command");
  bind(loaded.api.set_string, "sf_set_string");
  bind(loaded.api.close, "sf_close");
  bind(loaded.api.strerror, "sf_strerror");
  bind(loaded.api.write_short, "sf_write_short");
  bind(loaded.api.write_float, "sf_write_float");
  bind(loaded.api.error_number, "sf_error_number");
  return loaded;
}

}  // namespace

const SndfileApi* Sndfile(std::string* error) {
  static const Loaded loaded = Load();  // once per process, by whichever thread comes first
  if (!loaded.error.empty()) {
    *error = loaded.error;
    return nullptr;
  }
  return &loaded.api;
}

}  // namespace ondavo
