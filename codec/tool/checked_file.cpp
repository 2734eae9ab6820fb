#include "checked_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace vek {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void ThrowFileError(const std::string& what, const std::string& path,
                                 const std::string& reason) {
  throw FileError(what + " " + path + ": " + reason);
}

[[noreturn]] void ThrowSystemError(const char* what, const std::string& path, int error) {
  ThrowFileError(what, path, std::strerror(error));
}

// Closes silently when an exception unwinds; the success paths close
// explicitly so that a failing close is reported.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  // Checked before opening: opening a FIFO waits for a writer.
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error) ThrowFileError("cannot open", path, error.message());
  if (fs::is_directory(status)) ThrowSystemError("cannot open", path, EISDIR);
  if (!fs::is_regular_file(status)) ThrowFileError("cannot open", path, "not a regular file");

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

void CheckNotSameFile(const std::string& input, const std::string& output) {
  if (input == output) {
    ThrowFileError("cannot write", output, "it is the input file; nothing written");
  }
  std::error_code error;  // a file that is not there is nobody's twin
  if (fs::equivalent(input, output, error)) {
    ThrowFileError("cannot write", output,
                   "it is the input file " + input + " by another name; nothing written");
  }
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
