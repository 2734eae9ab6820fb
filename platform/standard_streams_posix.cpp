#include <unistd.h>

#include <cerrno>

#include "standard_streams.h"

namespace ondavo {

namespace {

class StandardOutput : public OutputFile {
 public:
  int Write(const void* data, size_t size, size_t* written) override {
    *written = 0;
    while (*written < size) {
      const ssize_t n = ::write(STDOUT_FILENO, static_cast<const char*>(data) + *written,
                                size - *written);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return errno;
      *written += static_cast<size_t>(n);
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
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    bytes->append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace ondavo
