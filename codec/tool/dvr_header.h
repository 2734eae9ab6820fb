// The 14-byte header in front of a coded voice file's frames: an 8-byte
// marker, the sample rate as 16 bits little-endian, and four zero bytes.
#ifndef ONDAVO_CODEC_TOOL_DVR_HEADER_H_
#define ONDAVO_CODEC_TOOL_DVR_HEADER_H_

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

namespace vek {

constexpr int kDvrHeaderBytes = 14;
constexpr uint8_t kDvrMarker[8] = {'V', 'E', 'K', 'D', 'V', 'R', 0, 1};
constexpr int kDvrDefaultRate = 8000;

inline std::array<uint8_t, kDvrHeaderBytes> MakeDvrHeader(int sample_rate) {
  std::array<uint8_t, kDvrHeaderBytes> header{};
  std::copy(std::begin(kDvrMarker), std::end(kDvrMarker), header.begin());
  header[8] = static_cast<uint8_t>(sample_rate & 0xFF);
  header[9] = static_cast<uint8_t>(sample_rate >> 8 & 0xFF);
  return header;
}

}  // namespace vek

#endif  // ONDAVO_CODEC_TOOL_DVR_HEADER_H_
