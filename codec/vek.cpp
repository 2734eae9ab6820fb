// The exported entry points, over one process-wide codec state: the library
// serves one conversion at a time.
#include "vek.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "celp_frame_coder.h"
#include "comfort_noise.h"
#include "dvr_format.h"
#include "opus_frame_coder.h"
#include "peak_limiter.h"
#include "record_coder.h"

namespace vek {
namespace {

static_assert(sizeof(short) == sizeof(int16_t));

// Speech frames carry a fixed-size packet after the first byte.
constexpr bool IsSpeechFrameType(int type) {
  return type == kVekFrameLow || type == kVekFrameMid || type == kVekFrameHigh;
}

constexpr uint8_t TypeBitsForSpeechFrame(int type) {
  return type == kVekFrameLow   ? kDvrLowTypeBits
         : type == kVekFrameMid ? kDvrMidTypeBits
                                : kDvrHighTypeBits;
}

// The input's peak over a frame and the few before it, which each speech frame
// carries as its peak code: the decoder's limiter then leaves the coder's
// ordinary swing about the input alone and stops only what would pass the
// input's recent peaks.
class PeakHold {
 public:
  void Reset() { peaks_.fill(0); }

  int Add(const int16_t* pcm) {
    std::rotate(peaks_.begin(), peaks_.begin() + 1, peaks_.end());
    peaks_.back() = 0;
    for (int i = 0; i < kVekFrameSamples; ++i)
      peaks_.back() = std::max(peaks_.back(), std::abs(int{pcm[i]}));
    return PeakCode(*std::max_element(peaks_.begin(), peaks_.end()));
  }

 private:
  std::array<int, 10> peaks_{};
};

struct CodecState {
  PeakHold peak_hold;
  OpusFrameEncoder speech_encoder;
  OpusFrameDecoder speech_decoder;
  CelpFrameEncoder low_encoder;
  CelpFrameDecoder low_decoder;
  RecordEncoder record_encoder;
  RecordDecoder record_decoder;
  ComfortNoiseSynthesizer noise_synthesizer;

  void ResetEncoder() {
    peak_hold.Reset();
    speech_encoder.Reset();
    low_encoder.Reset();
    record_encoder.Reset();
  }
  void ResetDecoder() {
    speech_decoder.Reset();
    low_decoder.Reset();
    record_decoder.Reset();
    noise_synthesizer.Reset();
  }
};

// Created on first use, so the entry points work in any order, even a
// decode before any Init call.
CodecState& State() {
  static CodecState state;
  return state;
}

void DecodeFrame(const uint8_t* frame, int16_t* pcm) {
  CodecState& state = State();
  const int length = DvrFrameLength(frame[0]);
  const int peak_code = frame[0] & kPeakCodeMask;
  if (length == kVekFrameLow && IsCelpPayload(frame + 1)) {
    state.low_decoder.Decode(frame + 1, peak_code, pcm);
  } else if (IsSpeechFrameType(length)) {
    // A noise or silence frame in between leaves the speech decoder as it
    // was; speech just continues from there. Low frames without this coder's
    // marker come from earlier versions, which coded them with Opus.
    state.speech_decoder.Decode(frame + 1, length - 1, peak_code, pcm);
  } else if (length == kVekFrameNoise) {
    state.noise_synthesizer.Synthesize(ReadComfortNoiseFrame(frame), pcm);
  } else {
    std::fill(pcm, pcm + kVekFrameSamples, 0);
  }
}

int EncodeFrame(const int16_t* pcm, int type, uint8_t* frame) {
  if (!IsSpeechFrameType(type) && type != kVekFrameNoise && type != kVekFrameSilence) return 0;
  const int peak_code = State().peak_hold.Add(pcm);
  if (type == kVekFrameLow) {
    frame[0] = static_cast<uint8_t>(kDvrLowTypeBits | peak_code);
    State().low_encoder.Encode(pcm, frame + 1);
    return type;
  }
  if (IsSpeechFrameType(type)) {
    uint8_t packet[kVekMaxFrameBytes - 1];
    if (!State().speech_encoder.Encode(pcm, type - 1, peak_code, packet)) return 0;
    frame[0] = static_cast<uint8_t>(TypeBitsForSpeechFrame(type) | peak_code);
    std::memcpy(frame + 1, packet, type - 1);
    return type;
  }
  if (type == kVekFrameNoise) {
    WriteComfortNoiseFrame(AnalyzeComfortNoise(pcm), frame);
    return type;
  }
  frame[0] = kDvrSilenceTypeBits;
  frame[1] = 0;
  return type;
}

}  // namespace
}  // namespace vek

using vek::State;

extern "C" {

VEK_EXPORT void VEK_CALL vVek_Init_Dsp_Regs(void) {
  State().ResetEncoder();
  State().ResetDecoder();
}

VEK_EXPORT void VEK_CALL vVek_Init_Encoder(void) {
  State().ResetEncoder();
}

VEK_EXPORT void VEK_CALL vVek_Init_Decoder(void) {
  State().ResetDecoder();
}

VEK_EXPORT void VEK_CALL vVek_Encode(short* pcm, unsigned char* coded) {
  if (pcm == nullptr || coded == nullptr) return;
  // The samples arrive as the file stored them, little-endian, whatever the
  // host's byte order.
  const auto* bytes = reinterpret_cast<const unsigned char*>(pcm);
  int16_t samples[vek::kRecordSamples];
  for (int i = 0; i < vek::kRecordSamples; ++i) {
    samples[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
  State().record_encoder.Encode(samples, coded);
}

VEK_EXPORT void VEK_CALL vVek_Decode(short* samples, unsigned char* frame) {
  if (samples == nullptr) return;
  if (frame == nullptr) {
    std::fill(samples, samples + kVekFrameSamples, 0);
    return;
  }
  vek::DecodeFrame(frame, samples);
}

VEK_EXPORT int VEK_CALL vVek_Encode_Frame(const short* pcm, int type, unsigned char* frame) {
  if (pcm == nullptr || frame == nullptr) return 0;
  return vek::EncodeFrame(pcm, type, frame);
}

VEK_EXPORT void VEK_CALL vVek_Decode_Record(const unsigned char* record, short* pcm) {
  if (record == nullptr || pcm == nullptr) return;
  State().record_decoder.Decode(record, pcm);
}

}  // extern "C"
