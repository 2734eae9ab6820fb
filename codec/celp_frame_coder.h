// Low frames: 20 ms of speech in the ten bytes after the frame's first byte,
// coded by linear prediction with a code-excited synthesis filter.
//
// At 80 bits a frame a transform coder can keep each band's energy but not
// where in the band it lies, and the formant slopes of a low voice fill in.
// This coder sends the spectral envelope itself (ten line spectral
// frequencies) and, for each 10 ms half, an excitation of a pitch repeat and
// two signed pulses, chosen by the decoded result, so the formants stay where
// the input has them.
//
// The ten bytes, most significant bit first: the marker 11 (which no Opus
// packet from this codec starts with, so older low frames still decode as
// Opus), the frequencies' 24 bits, then per half its lag (7 bits, or 5 as a
// change from the first half's), pitch gain (3), pulse gain (5) and pulses
// (13).
//
// The decoder holds a frame under its peak code's ceiling (none for code 0).
// Both sides compute with + - * / alone, in one fixed order (a cosine of
// their own, as the C library's differs in its last bit between systems), so
// a recording packs and decodes to the same bytes on every machine that keeps
// IEEE doubles.
#ifndef ONDAVO_CODEC_CELP_FRAME_CODER_H_
#define ONDAVO_CODEC_CELP_FRAME_CODER_H_

#include <array>
#include <cstdint>

#include "vek.h"

namespace vek {

constexpr int kCelpPayloadBytes = kVekFrameLow - 1;
constexpr int kCelpOrder = 10;
constexpr int kCelpHalf = kVekFrameSamples / 2;
constexpr int kCelpMinLag = 20;
constexpr int kCelpMaxLag = kCelpMinLag + 127;

// Whether a low frame's ten bytes after its first are this coder's.
constexpr bool IsCelpPayload(const uint8_t* payload) {
  return (payload[0] & 0xC0) == 0xC0;
}

// What the decoder keeps from frame to frame, and the encoder follows.
struct CelpState {
  std::array<double, kCelpOrder> lsf{};                      // the last frame's, in radians
  std::array<double, kCelpMaxLag + kCelpHalf> excitation{};  // the most recent last
  std::array<double, kCelpOrder> synthesis{};  // the last outputs, the most recent first
  CelpState();
};

class CelpFrameDecoder {
 public:
  void Reset() { *this = CelpFrameDecoder(); }
  void Decode(const uint8_t* payload, int peak_code, int16_t* pcm);

 private:
  CelpState state_;
  float limiter_gain_ = 1;
};

class CelpFrameEncoder {
 public:
  void Reset() { *this = CelpFrameEncoder(); }

  // Codes the 160 samples at pcm[0], analysing the look-ahead up to pcm[211]
  // too, into kCelpPayloadBytes bytes.
  void Encode(const int16_t* pcm, uint8_t* payload);

 private:
  CelpState state_;
  // The perceptual weighting filter's memory of the coding error: its input
  // and output, the most recent first.
  std::array<double, kCelpOrder> error_{}, weighted_error_{};
};

}  // namespace vek

#endif  // ONDAVO_CODEC_CELP_FRAME_CODER_H_
