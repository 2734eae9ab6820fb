#include "opus_frame_coder.h"

#include <opus.h>

#include <algorithm>

#include "vek.h"

namespace vek {
namespace {

constexpr opus_int32 kSampleRate = 8000;
// With hard CBR, this bitrate makes libopus fill a 20 ms packet to exactly
// the size it is allowed.
constexpr opus_int32 kBitsPerSecondPerPacketByte = 400;

}  // namespace

OpusFrameEncoder::OpusFrameEncoder() {
  int error = OPUS_OK;
  encoder_ = opus_encoder_create(kSampleRate, 1, OPUS_APPLICATION_VOIP, &error);
  if (error != OPUS_OK) {
    opus_encoder_destroy(encoder_);
    encoder_ = nullptr;
    return;
  }
  // Fixed-size packets; no discontinuous transmission and no redundancy, as
  // the frame sizes leave no room for either.
  opus_encoder_ctl(encoder_, OPUS_SET_VBR(0));
  opus_encoder_ctl(encoder_, OPUS_SET_DTX(0));
  opus_encoder_ctl(encoder_, OPUS_SET_INBAND_FEC(0));
  opus_encoder_ctl(encoder_, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE));
}

OpusFrameEncoder::~OpusFrameEncoder() {
  opus_encoder_destroy(encoder_);
}

void OpusFrameEncoder::Reset() {
  if (encoder_ != nullptr) opus_encoder_ctl(encoder_, OPUS_RESET_STATE);
}

bool OpusFrameEncoder::Encode(const int16_t* pcm, int packet_bytes, uint8_t* packet) {
  if (encoder_ == nullptr) return false;
  if (opus_encoder_ctl(encoder_, OPUS_SET_BITRATE(packet_bytes * kBitsPerSecondPerPacketByte)) !=
      OPUS_OK) {
    return false;
  }
  const opus_int32 length = opus_encode(encoder_, pcm, kVekFrameSamples, packet, packet_bytes);
  if (length <= 0 || length > packet_bytes) return false;
  // Should libopus ever come out short, padding keeps the frame its size.
  return length == packet_bytes || opus_packet_pad(packet, length, packet_bytes) == OPUS_OK;
}

OpusFrameDecoder::OpusFrameDecoder() {
  int error = OPUS_OK;
  decoder_ = opus_decoder_create(kSampleRate, 1, &error);
  if (error != OPUS_OK) {
    opus_decoder_destroy(decoder_);
    decoder_ = nullptr;
  }
}

OpusFrameDecoder::~OpusFrameDecoder() {
  opus_decoder_destroy(decoder_);
}

void OpusFrameDecoder::Reset() {
  if (decoder_ != nullptr) opus_decoder_ctl(decoder_, OPUS_RESET_STATE);
}

void OpusFrameDecoder::Decode(const uint8_t* packet, int packet_bytes, int16_t* pcm) {
  int decoded = 0;
  if (decoder_ != nullptr) {
    // The whole packet, trailing zeros too: they are padding libopus expects.
    decoded = opus_decode(decoder_, packet, packet_bytes, pcm, kVekFrameSamples, 0);
    if (decoded < 0) decoded = opus_decode(decoder_, nullptr, 0, pcm, kVekFrameSamples, 0);
  }
  // A garbled packet may also decode to less than a frame (or fail outright).
  std::fill(pcm + std::clamp(decoded, 0, int{kVekFrameSamples}), pcm + kVekFrameSamples, 0);
}

}  // namespace vek
