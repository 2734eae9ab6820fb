#include "progress_tracker.h"

#include <limits>

namespace ondavo {

int ProgressTracker::Percent(uint64_t consumed, uint64_t total) {
  if (total == 0 || consumed >= total) return 100;
  constexpr uint64_t kExact = std::numeric_limits<uint64_t>::max() / 100;
  return static_cast<int>(consumed <= kExact ? consumed * 100 / total : consumed / (total / 100));
}

void ProgressTracker::Move(uint64_t consumed) {
  int percent = Percent(consumed, total_);
  if (percent != shown_) {
    shown_ = percent;
    host_.SetProgressPosition(percent);
  }
  if (percent >= 100) {
    next_change_ = std::numeric_limits<uint64_t>::max();
    return;
  }
  // The first byte count at which the percentage reaches percent + 1.
  uint64_t step = static_cast<uint64_t>(percent) + 1;
  uint64_t whole = step * (total_ / 100);
  uint64_t part = step * (total_ % 100);
  next_change_ = whole + part / 100 + (part % 100 != 0 ? 1 : 0);
}

void ProgressTracker::Finish() {
  if (shown_ != 100) {
    shown_ = 100;
    host_.SetProgressPosition(100);
  }
  next_change_ = std::numeric_limits<uint64_t>::max();
}

}  // namespace ondavo
