#include "codec_library.h"

#include <string>

#include "commands.h"
#include "shared_library.h"

namespace vek {

void* CodecEntryPoint(const char* name) {
  const std::string library = ondavo::kCodecLibraryName;
  static std::string load_error;
  static const ondavo::LibraryHandle handle = ondavo::LoadSharedLibrary(library, &load_error);
  if (handle == nullptr) {
    throw CodecError("cannot load codec library " + library + " (" + load_error +
                     "); nothing written");
  }
  void* entry_point = ondavo::FindLibrarySymbol(handle, name);
  if (entry_point == nullptr) {
    throw CodecError("codec library " + library + " has no entry point " + name +
                     "; nothing written");
  }
  return entry_point;
}

}  // namespace vek
