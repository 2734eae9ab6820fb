#include "buffered_io.h"

namespace ondavo {

size_t BufferedReader::ReadSlow(char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    if (pos_ == end_) {
      if (error_ != 0) break;
      size_t got = 0;
      error_ = file_->Read(buffer_.data(), buffer_.size(), &got);
      pos_ = 0;
      end_ = got;
      if (got == 0) break;
    }
    size_t take = std::min(size - done, end_ - pos_);
    std::memcpy(data + done, buffer_.data() + pos_, take);
    pos_ += take;
    done += take;
  }
  consumed_ += done;
  return done;
}

int BufferedWriter::Flush() {
  if (error_ != 0) return error_;
  size_t written = 0;
  error_ = file_->Write(buffer_.data(), used_, &written);
  on_disk_ += written;
  // Whatever did not reach the file is lost either way; keep the counts honest.
  used_ = 0;
  return error_;
}

int BufferedWriter::WriteSlow(const char* data, size_t size) {
  if (error_ != 0) return error_;
  while (size > 0) {
    if (used_ == buffer_.size()) {
      if (int err = Flush()) return err;
    }
    size_t take = std::min(size, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, data, take);
    used_ += take;
    data += take;
    size -= take;
  }
  return 0;
}

}  // namespace ondavo
