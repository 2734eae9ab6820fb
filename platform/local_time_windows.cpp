#include <ctime>

#include "local_time.h"

namespace ondavo {

bool LocalCalendarTime(int64_t seconds, std::tm* local, long* offset) {
  const __time64_t time = seconds;
  if (_localtime64_s(local, &time) != 0) return false;
  // The local calendar time read as if it were UTC, less the moment itself.
  std::tm copy = *local;
  const __time64_t as_utc = _mkgmtime64(&copy);
  if (as_utc == -1) return false;
  *offset = static_cast<long>(as_utc - time);
  return true;
}

}  // namespace ondavo
