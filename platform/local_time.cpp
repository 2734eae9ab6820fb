#include "local_time.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace ondavo {

std::string LocalIsoTime(int64_t seconds) {
  std::tm local{};
  long offset = 0;
  if (!LocalCalendarTime(seconds, &local, &offset)) return {};
  const long minutes = std::labs(offset) / 60;
  char text[96];  // room for any year the numbers allow
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return text;
}

}  // namespace ondavo
