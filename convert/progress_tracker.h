// Turns bytes consumed into the percentages a progress bar shows.
#ifndef ONDAVO_CONVERT_PROGRESS_TRACKER_H_
#define ONDAVO_CONVERT_PROGRESS_TRACKER_H_

#include <cstdint>

#include "conversion_host.h"

namespace ondavo {

// Percentages of an input of `total` bytes, in 64-bit arithmetic and within
// 0 to 100. Tells the host only when the position moves, so that a frame
// costs a comparison rather than a division.
class ProgressTracker {
 public:
  ProgressTracker(ConversionHost& host, uint64_t total) : host_(host), total_(total) {}

  // `consumed` bytes of the input are behind us.
  void Update(uint64_t consumed) {
    if (consumed >= next_change_) Move(consumed);
  }
  void Finish();

  static int Percent(uint64_t consumed, uint64_t total);

 private:
  void Move(uint64_t consumed);

  ConversionHost& host_;
  uint64_t total_;
  int shown_ = -1;
  uint64_t next_change_ = 0;
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_PROGRESS_TRACKER_H_
