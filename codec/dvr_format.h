// The coded voice file (.DVR), as the codec, the converter and vek-codec all
// read and write it: a 14-byte header (an 8-byte marker, the sample rate as
// 16 bits little-endian, four zero bytes), then frames back to back, each
// decoding to kVekFrameSamples samples. The top bits of a frame's first byte
// give its type, and so its length, so a reader never needs more than that
// one byte to know how far the frame reaches.
//
// The codec's own: it includes nothing but the codec's interface, so that
// the library stands alone as a vendor's does.
#ifndef ONDAVO_CODEC_DVR_FORMAT_H_
#define ONDAVO_CODEC_DVR_FORMAT_H_

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

#include "vek.h"

inline constexpr int kDvrHeaderSize = 14;
inline constexpr uint8_t kDvrMarker[8] = {'V', 'E', 'K', 'D', 'V', 'R', 0, 1};
// Bytes 8 (low) and 9 (high) of the header hold the rate in hertz.
inline constexpr int kDvrRateAt = 8;
inline constexpr int kDvrRateEnd = kDvrRateAt + 2;

// The type bits each frame type stores in the top of its first byte. The
// rest of that byte is a speech frame's peak code (peak_limiter.h) or
// the start of a comfort-noise frame's level, and zero in a silence frame.
inline constexpr uint8_t kDvrLowTypeBits = 0x00;      // 00xxxxxx
inline constexpr uint8_t kDvrMidTypeBits = 0x40;      // 01xxxxxx
inline constexpr uint8_t kDvrHighTypeBits = 0x80;     // 10xxxxxx
inline constexpr uint8_t kDvrNoiseTypeBits = 0xC0;    // 110xxxxx
inline constexpr uint8_t kDvrSilenceTypeBits = 0xE0;  // 111xxxxx

// The frame's total length in bytes, which is also its VekFrameType.
constexpr int DvrFrameLength(uint8_t first_byte) {
  switch (first_byte >> 6) {
    case 0:
      return kVekFrameLow;
    case 1:
      return kVekFrameMid;
    case 2:
      return kVekFrameHigh;
    default:
      return (first_byte & 0x20) ? kVekFrameSilence : kVekFrameNoise;
  }
}

// The rate in hertz from a header, of which at least kDvrRateEnd bytes.
constexpr uint32_t DvrSampleRate(const uint8_t* header) {
  return header[kDvrRateAt] + 256u * header[kDvrRateAt + 1];
}

inline std::array<uint8_t, kDvrHeaderSize> MakeDvrHeader(int sample_rate) {
  std::array<uint8_t, kDvrHeaderSize> header{};
  std::copy(std::begin(kDvrMarker), std::end(kDvrMarker), header.begin());
  header[kDvrRateAt] = static_cast<uint8_t>(sample_rate & 0xFF);
  header[kDvrRateAt + 1] = static_cast<uint8_t>(sample_rate >> 8 & 0xFF);
  return header;
}

#endif  // ONDAVO_CODEC_DVR_FORMAT_H_
