// Mid and high frames: fixed-size Opus packets (8 kHz mono, 20 ms, hard CBR)
// that follow the frame's first byte. One encoder serves both sizes by
// changing its bitrate per frame. Low frames from earlier versions hold
// 10-byte packets, which the decoder still takes.
//
// libopus's decoded speech lags its input by the encoder's look-ahead, 52
// samples at 8 kHz. The encoder is therefore handed each frame together with
// the 52 samples after it and codes the frame shifted by that much, so that a
// decoded frame is the input frame of the same number.
//
// A frame with a peak code (peak_limiter.h) decodes with its size's level
// correction and never above that code's ceiling; one without decodes to
// libopus's samples as they are.
#ifndef ONDAVO_CODEC_OPUS_FRAME_CODER_H_
#define ONDAVO_CODEC_OPUS_FRAME_CODER_H_

#include <cstdint>
#include <vector>

namespace vek {

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
  // `packet_bytes` bytes (17 or 23); returns false if libopus could not
  // make one of that size.
  bool Encode(const int16_t* pcm, int packet_bytes, int peak_code, uint8_t* packet);

 private:
  std::vector<unsigned char> state_;  // libopus's encoder, as in the decoder
  // What the decoder will have made of every packet so far.
  OpusFrameDecoder decoder_;
};

}  // namespace vek

#endif  // ONDAVO_CODEC_OPUS_FRAME_CODER_H_
