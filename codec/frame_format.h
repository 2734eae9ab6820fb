// The coded frame layout: the top bits of a frame's first byte say its type,
// and so its length, so a reader never needs more than that one byte to know
// how far the frame reaches.
#ifndef ONDAVO_CODEC_FRAME_FORMAT_H_
#define ONDAVO_CODEC_FRAME_FORMAT_H_

#include <cstdint>

#include "vek.h"

namespace vek {

// The type bits each frame type stores in the top of its first byte. The
// rest of that byte is a speech frame's peak code (opus_frame_coder.h) or
// the start of a comfort-noise frame's level, and zero in a silence frame.
constexpr uint8_t kLowTypeBits = 0x00;      // 00xxxxxx
constexpr uint8_t kMidTypeBits = 0x40;      // 01xxxxxx
constexpr uint8_t kHighTypeBits = 0x80;     // 10xxxxxx
constexpr uint8_t kNoiseTypeBits = 0xC0;    // 110xxxxx
constexpr uint8_t kSilenceTypeBits = 0xE0;  // 111xxxxx

// Returns the frame's total length in bytes, which is also its VekFrameType.
constexpr int FrameLengthFromFirstByte(uint8_t first_byte) {
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

// Speech frames carry a fixed-size packet after the first byte.
constexpr bool IsSpeechFrameType(int type) {
  return type == kVekFrameLow || type == kVekFrameMid || type == kVekFrameHigh;
}

constexpr uint8_t TypeBitsForSpeechFrame(int type) {
  return type == kVekFrameLow ? kLowTypeBits : type == kVekFrameMid ? kMidTypeBits : kHighTypeBits;
}

}  // namespace vek

#endif  // ONDAVO_CODEC_FRAME_FORMAT_H_
