#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "standard_streams.h"

namespace ondavo {

namespace {

// Through the handles, not the C library's text-mode descriptors, which
// would turn every 0x0A byte of the audio into 0x0D 0x0A.
class StandardOutput : public OutputFile {
 public:
  int Write(const void* data, size_t size, size_t* written) override {
    *written = 0;
    // The descriptor's handle: the one PrepareProcess made sure of.
    HANDLE out = reinterpret_cast<HANDLE>(::_get_osfhandle(1));
    while (*written < size) {
      DWORD n = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - *written, 1 << 20));
      if (!::WriteFile(out, static_cast<const char*>(data) + *written, chunk, &n, nullptr)) {
        const DWORD error = ::GetLastError();
        return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA
                   ? EPIPE
                   : kWindowsErrorBase + static_cast<int>(error);
      }
      *written += n;
    }
    return 0;
  }
  int WriteAt(uint64_t, const void*, size_t) override { return ESPIPE; }
  int Sync() override { return 0; }
  int Close() override { return 0; }
};

}  // namespace

std::unique_ptr<OutputFile> StandardOutputFile() {
  return std::make_unique<StandardOutput>();
}

int ReadStandardInput(std::string* bytes) {
  HANDLE in = reinterpret_cast<HANDLE>(::_get_osfhandle(0));
  char buffer[64 * 1024];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(in, buffer, sizeof buffer, &n, nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_BROKEN_PIPE) return 0;  // the writer closed its end
      return kWindowsErrorBase + static_cast<int>(error);
    }
    if (n == 0) return 0;
    bytes->append(buffer, n);
  }
}

}  // namespace ondavo
