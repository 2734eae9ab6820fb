// Buffered reading and writing on top of InputFile and OutputFile, so that a
// conversion asks the system for 64 KiB at a time however small its frames.
#ifndef ONDAVO_CONVERT_BUFFERED_IO_H_
#define ONDAVO_CONVERT_BUFFERED_IO_H_

#include <cstdint>
#include <cstring>
#include <vector>

#include "file_system.h"

namespace ondavo {

class BufferedReader {
 public:
  explicit BufferedReader(InputFile* file, size_t capacity = 64 * 1024)
      : file_(file), buffer_(capacity) {}

  // Reads up to `size` bytes and returns how many came; fewer than asked
  // means the end of the file or an error (see error()).
  size_t Read(void* data, size_t size) {
    if (end_ - pos_ >= size) {
      std::memcpy(data, buffer_.data() + pos_, size);
      pos_ += size;
      consumed_ += size;
      return size;
    }
    return ReadSlow(static_cast<char*>(data), size);
  }

  // Bytes handed out so far.
  uint64_t consumed() const { return consumed_; }
  // The errno of a failed read, 0 when the reads met only the end.
  int error() const { return error_; }

 private:
  size_t ReadSlow(char* data, size_t size);

  InputFile* file_;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  uint64_t consumed_ = 0;
  int error_ = 0;
};

class BufferedWriter {
 public:
  explicit BufferedWriter(OutputFile* file, size_t capacity = 64 * 1024)
      : file_(file), buffer_(capacity) {}

  // Returns 0 or the errno of a failed write; after a failure every further
  // call fails with the same errno and writes nothing.
  int Write(const void* data, size_t size) {
    if (buffer_.size() - used_ >= size && error_ == 0) {
      std::memcpy(buffer_.data() + used_, data, size);
      used_ += size;
      return 0;
    }
    return WriteSlow(static_cast<const char*>(data), size);
  }
  int Flush();

  // Bytes that reached the file.
  uint64_t on_disk() const { return on_disk_; }

 private:
  int WriteSlow(const char* data, size_t size);

  OutputFile* file_;
  std::vector<char> buffer_;
  size_t used_ = 0;
  uint64_t on_disk_ = 0;
  int error_ = 0;
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_BUFFERED_IO_H_
