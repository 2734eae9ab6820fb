#include <windows.h>

#include <iterator>

#include "shared_library.h"
#include "windows_text.h"

namespace ondavo {

const char kCodecLibraryName[] = "Vek.dll";
const char kLibrarySearch[] =
    "in the program's own folder, then in the system's folders; never in the current folder";

LibraryHandle LoadSharedLibrary(const std::string& name, std::string* error) {
  // The program's own folder, then the system's; never the current folder,
  // where anybody who can write there could have put a library of that
  // name. Libraries that load later, the codec's own included, keep clear
  // of it too.
  ::SetDllDirectoryW(L"");
  const std::wstring wide_name = WideFromUtf8(name);
  HMODULE module =
      ::LoadLibraryExW(wide_name.c_str(), nullptr,
                       LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) {
    DWORD code = ::GetLastError();
    // Wide, as the system's wording may need more than the ANSI code page.
    wchar_t text[512] = {};
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, text, std::size(text), nullptr);
    while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r')) --length;
    *error = length > 0 ? Utf8FromWide({text, length}) : "error " + std::to_string(code);
  }
  return module;
}

void* FindLibrarySymbol(LibraryHandle library, const char* symbol) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), symbol));
}

}  // namespace ondavo
