#include "checked_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vek {
namespace {

[[noreturn]] void ThrowSystemError(const char* what, const std::string& path, int error) {
  throw FileError(std::string(what) + " " + path + ": " + std::strerror(error));
}

// Closes silently when an exception unwinds; the success paths close
// explicitly so that a failing close is reported.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  FilePointer file(std::fopen(path.c_str(), "rb"));
  if (!file) ThrowSystemError("cannot open", path, errno);

  std::vector<uint8_t> data;
  uint8_t buffer[1 << 16];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof(buffer), file.get())) > 0) {
    data.insert(data.end(), buffer, buffer + count);
  }
  if (std::ferror(file.get())) ThrowSystemError("cannot read", path, errno);
  if (std::fclose(file.release()) != 0) ThrowSystemError("cannot close", path, errno);
  return data;
}

void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data) {
  FilePointer file(std::fopen(path.c_str(), "wb"));
  if (!file) ThrowSystemError("cannot create", path, errno);

  const char* failed = nullptr;
  int error = 0;
  if (std::fwrite(data.data(), 1, data.size(), file.get()) != data.size() ||
      std::fflush(file.get()) != 0) {
    failed = "cannot write";
    error = errno;
  }
  // Close even after a failed write; the buffered data only reaches the
  // disk, or fails to, here.
  if (std::fclose(file.release()) != 0 && failed == nullptr) {
    failed = "cannot close";
    error = errno;
  }
  if (failed != nullptr) ThrowSystemError(failed, path, error);
}

}  // namespace vek
