// Reads a coded voice file (.DVR) as a decode needs it: its header, then one
// whole frame at a time, until the end, a frame cut short, or a failed read.
#ifndef ONDAVO_CONVERT_DVR_READER_H_
#define ONDAVO_CONVERT_DVR_READER_H_

#include <cstdint>

#include "buffered_io.h"
#include "dvr_format.h"

namespace ondavo {

class DvrReader {
 public:
  explicit DvrReader(InputFile* file) : reader_(file) {}

  // Reads the header. Null when it gives a sample rate, otherwise why the
  // file is no recording; a failed read (error()) comes before either.
  const char* ReadHeader() {
    const size_t got = reader_.Read(frame_, kDvrHeaderSize);
    // Cut after its rate, it is a recording of no frames.
    header_whole_ = got == size_t{kDvrHeaderSize};
    if (got < size_t{kDvrRateEnd}) return "it ends inside its header";
    sample_rate_ = DvrSampleRate(frame_);
    return sample_rate_ == 0 ? "its header gives a sample rate of 0" : nullptr;
  }

  // Reads the next frame into frame(). False at the end of the file, at a
  // frame cut short by it (cut()), or after a failed read (error()).
  bool NextFrame() {
    if (!header_whole_) return false;
    frame_start_ = reader_.consumed();
    if (reader_.Read(frame_, 1) == 0) return false;
    const size_t rest = static_cast<size_t>(DvrFrameLength(frame_[0]) - 1);
    // A frame cut short by the end of the file is dropped: its missing bytes
    // would be guesswork.
    if (reader_.Read(frame_ + 1, rest) < rest) {
      cut_ = reader_.error() == 0;
      return false;
    }
    return true;
  }

  uint32_t sample_rate() const { return sample_rate_; }
  unsigned char* frame() { return frame_; }
  // Where the frame last read begins in the file.
  uint64_t frame_start() const { return frame_start_; }
  bool cut() const { return cut_; }
  int error() const { return reader_.error(); }

 private:
  BufferedReader reader_;
  // Whatever the file leaves unread stays zero, never a stale byte.
  unsigned char frame_[kVekMaxFrameBytes] = {};
  bool header_whole_ = false;
  uint32_t sample_rate_ = 0;
  uint64_t frame_start_ = 0;
  bool cut_ = false;
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_DVR_READER_H_
