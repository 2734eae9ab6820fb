// The coded voice file (.DVR) as the decoder reads it: a 14-byte header whose
// bytes 8 and 9 hold the sample rate, then frames back to back whose first
// byte's top bits give their length. Everything else belongs to the codec.
#ifndef ONDAVO_CONVERT_DVR_FORMAT_H_
#define ONDAVO_CONVERT_DVR_FORMAT_H_

#include <cstdint>

namespace ondavo {

inline constexpr int kDvrHeaderSize = 14;
inline constexpr int kDvrMaxFrameLength = 24;
inline constexpr int kDvrFrameSamples = 160;

// 00xxxxxx: 11, 01xxxxxx: 18, 10xxxxxx: 24, 110xxxxx: 4, 111xxxxx: 2.
constexpr int DvrFrameLength(uint8_t first_byte) {
  switch (first_byte >> 6) {
    case 0:
      return 11;
    case 1:
      return 18;
    case 2:
      return 24;
    default:
      return (first_byte >> 5) == 6 ? 4 : 2;
  }
}

// The rate in hertz from a header's bytes 8 (low) and 9 (high).
constexpr uint32_t DvrSampleRate(const uint8_t* header) {
  return header[8] + 256u * header[9];
}

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_DVR_FORMAT_H_
