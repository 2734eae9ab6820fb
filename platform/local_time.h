// Moments as people read them, in the local time zone.
#ifndef ONDAVO_PLATFORM_LOCAL_TIME_H_
#define ONDAVO_PLATFORM_LOCAL_TIME_H_

#include <cstdint>
#include <ctime>
#include <string>

namespace ondavo {

// `seconds` after 1970-01-01 UTC as ISO 8601 in local time with its offset
// from UTC, "2024-03-05T14:30:00+01:00"; empty when the system cannot say.
std::string LocalIsoTime(int64_t seconds);

// Each system's part of it: the local calendar time of `seconds` and its
// offset from UTC in seconds.
bool LocalCalendarTime(int64_t seconds, std::tm* local, long* offset);

}  // namespace ondavo

#endif  // ONDAVO_PLATFORM_LOCAL_TIME_H_
