#include "checked_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vek {
namespace {

[[noreturn]] void ThrowSystemError(const std::string& what, const std::string& path, int error) {
  throw FileError(what + " " + path + ": " + std::strerror(error));
}

// Owns a descriptor so an exception cannot leak it; Close() reports errors,
// the destructor only cleans up after one.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  // Returns 0 or the errno of a failed close.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) ThrowSystemError("cannot open", path, errno);

  std::vector<uint8_t> data;
  uint8_t buffer[1 << 16];
  for (;;) {
    const ssize_t count = ::read(file.get(), buffer, sizeof(buffer));
    if (count < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError("cannot read", path, errno);
    }
    if (count == 0) break;
    data.insert(data.end(), buffer, buffer + count);
  }
  if (const int error = file.Close(); error != 0) ThrowSystemError("cannot close", path, error);
  return data;
}

void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data) {
  Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.get() < 0) ThrowSystemError("cannot create", path, errno);

  int error = 0;
  for (size_t written = 0; written < data.size() && error == 0;) {
    const ssize_t count = ::write(file.get(), data.data() + written, data.size() - written);
    if (count >= 0) {
      written += static_cast<size_t>(count);
    } else if (errno != EINTR) {
      error = errno;
    }
  }
  // Close even after a failed write, then report the first failure.
  const int close_error = file.Close();
  if (error != 0 || close_error != 0) {
    ::unlink(path.c_str());
    ThrowSystemError(error != 0 ? "cannot write" : "cannot close", path,
                     error != 0 ? error : close_error);
  }
}

}  // namespace vek
