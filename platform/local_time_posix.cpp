#include <ctime>

#include "local_time.h"

namespace ondavo {

bool LocalCalendarTime(int64_t seconds, std::tm* local, long* offset) {
  const time_t time = static_cast<time_t>(seconds);
  if (localtime_r(&time, local) == nullptr) return false;
  *offset = local->tm_gmtoff;
  return true;
}

}  // namespace ondavo
