// Speech frames: fixed-size Opus packets (8 kHz mono, 20 ms, hard CBR) that
// follow the frame's first byte. One encoder serves all three sizes by
// changing its bitrate per frame.
//
// libopus's decoded speech lags its input by the encoder's look-ahead, 52
// samples at 8 kHz. The encoder is therefore handed each frame together with
// the 52 samples after it and codes the frame shifted by that much, so that a
// decoded frame is the input frame of the same number.
//
// The low six bits of a speech frame's first byte are its peak code (0 in
// frames from coders that do not set it): 1 to 63 stand for a ceiling of
// 2^((code - 63) / 8) of full scale, in steps of 0.75 dB, at or above the
// input's peak over the frame and the ones just before it. A frame with a peak
// code decodes with its size's level correction and never above that
// ceiling; one without decodes to libopus's samples as they are.
#ifndef ONDAVO_CODEC_OPUS_FRAME_CODER_H_
#define ONDAVO_CODEC_OPUS_FRAME_CODER_H_

#include <cstdint>
#include <vector>

namespace vek {

constexpr int kPeakCodeMask = 0x3F;

// The smallest peak code whose ceiling is at or above `peak` (0 to 32768).
int PeakCode(int peak);

class OpusFrameDecoder {
 public:
  OpusFrameDecoder() { Reset(); }

  void Reset();

  // Always writes 160 samples: a packet libopus rejects is concealed as a
  // lost one, and what even that cannot fill is zeros.
  void Decode(const uint8_t* packet, int packet_bytes, int peak_code, int16_t* pcm);

 private:
  // libopus's decoder state, one block of memory that copies as it is, so a
  // copy of this object is a decoder at the same point of the stream.
  std::vector<unsigned char> state_;
  // The peak limiter's gain at the end of the last frame.
  float limiter_gain_ = 1;
};

class OpusFrameEncoder {
 public:
  OpusFrameEncoder() { Reset(); }

  void Reset();

  // Codes the 160 samples at pcm[0], reading the look-ahead up to pcm[211]
  // too (kVekFrameLookahead in vek.h), into a packet of exactly
  // `packet_bytes` bytes (10, 17 or 23); returns false if libopus could not
  // make one of that size.
  bool Encode(const int16_t* pcm, int packet_bytes, int peak_code, uint8_t* packet);

 private:
  std::vector<unsigned char> state_;  // libopus's encoder, as in the decoder
  // What the decoder will have made of every packet so far.
  OpusFrameDecoder decoder_;
};

}  // namespace vek

#endif  // ONDAVO_CODEC_OPUS_FRAME_CODER_H_
