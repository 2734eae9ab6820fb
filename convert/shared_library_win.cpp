#include <windows.h>

#include "shared_library.h"

namespace ondavo {

const char kCodecLibraryName[] = "Vek.dll";

LibraryHandle LoadSharedLibrary(const std::string& name, std::string* error) {
  HMODULE module = ::LoadLibraryA(name.c_str());
  if (module == nullptr) {
    DWORD code = ::GetLastError();
    char text[512] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
    *error = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
  }
  return module;
}

void* FindLibrarySymbol(LibraryHandle library, const char* symbol) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), symbol));
}

}  // namespace ondavo
