// Bytes already in memory read as an input file: a recording that came
// through standard input, which can be read only once but is needed twice
// when the output's length must be known first.
#ifndef ONDAVO_CONVERT_MEMORY_INPUT_H_
#define ONDAVO_CONVERT_MEMORY_INPUT_H_

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "file_system.h"

namespace ondavo {

class MemoryInput final : public InputFile {
 public:
  explicit MemoryInput(std::shared_ptr<const std::string> bytes) : bytes_(std::move(bytes)) {}
  int Read(void* data, size_t size, size_t* read) override {
    *read = std::min(size, bytes_->size() - at_);
    std::memcpy(data, bytes_->data() + at_, *read);
    at_ += *read;
    return 0;
  }
  int Size(uint64_t* size) override {
    *size = bytes_->size();
    return 0;
  }
  int Close() override { return 0; }

 private:
  std::shared_ptr<const std::string> bytes_;
  size_t at_ = 0;
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_MEMORY_INPUT_H_
