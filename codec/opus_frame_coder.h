// Speech frames: fixed-size Opus packets (8 kHz mono, 20 ms, hard CBR) that
// follow the frame's first byte. One encoder serves all three sizes by
// changing its bitrate per frame; decoded speech lags the input by the
// encoder's lookahead, 52 samples at 8 kHz.
#ifndef ONDAVO_CODEC_OPUS_FRAME_CODER_H_
#define ONDAVO_CODEC_OPUS_FRAME_CODER_H_

#include <cstdint>

struct OpusEncoder;
struct OpusDecoder;

namespace vek {

class OpusFrameEncoder {
 public:
  OpusFrameEncoder();
  ~OpusFrameEncoder();
  OpusFrameEncoder(const OpusFrameEncoder&) = delete;
  OpusFrameEncoder& operator=(const OpusFrameEncoder&) = delete;

  void Reset();

  // Encodes 160 samples into a packet of exactly `packet_bytes` bytes (10, 17
  // or 23); returns false if libopus could not make one of that size.
  bool Encode(const int16_t* pcm, int packet_bytes, uint8_t* packet);

 private:
  OpusEncoder* encoder_;  // null if libopus could not create it
};

class OpusFrameDecoder {
 public:
  OpusFrameDecoder();
  ~OpusFrameDecoder();
  OpusFrameDecoder(const OpusFrameDecoder&) = delete;
  OpusFrameDecoder& operator=(const OpusFrameDecoder&) = delete;

  void Reset();

  // Always writes 160 samples: a packet libopus rejects is concealed as a
  // lost one, and what even that cannot fill is zeros.
  void Decode(const uint8_t* packet, int packet_bytes, int16_t* pcm);

 private:
  OpusDecoder* decoder_;  // null if libopus could not create it
};

}  // namespace vek

#endif  // ONDAVO_CODEC_OPUS_FRAME_CODER_H_
