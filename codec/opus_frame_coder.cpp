#include "opus_frame_coder.h"

#include <opus.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "peak_limiter.h"
#include "vek.h"

namespace vek {
namespace {

constexpr opus_int32 kSampleRate = 8000;
// With hard CBR, this bitrate makes libopus fill a 20 ms packet to exactly
// the size it is allowed.
constexpr opus_int32 kBitsPerSecondPerPacketByte = 400;

// At 17 and 23 bytes libopus codes speech with a linear predictor that matches
// the waveform, and at so few bits a waveform match is quieter than its input
// by about the share of the error: 2 to 3 dB at 17 bytes, 1 to 2 at 23. The
// decoder gives that back in part; the rest would cost more in added noise
// than it gains in level. At 10 bytes (earlier versions' low frames: a
// transform coder that codes each band's energy) the level is right.
float LevelCorrection(int packet_bytes) {
  return packet_bytes >= 23 ? 1.0592537f : packet_bytes >= 17 ? 1.1220185f : 1.0f;  // 0.5, 1 dB
}

// --- The encoder's choice between codings of a frame --------------------

// libopus's choices at each complexity differ, and none is best for every
// frame: at 17 and 23 bytes its predictive coder now and then lets a
// resonance run away into a tone or a burst. Trying each and keeping the one
// whose decoded frame is nearest its input avoids most of them and raises the
// SNR; what still overshoots, the decoder's limiter holds under the peak code.
constexpr std::array kSpeechComplexities = {0, 2, 3, 5, 10};

constexpr int kBands = 11;  // third octaves, 315 to 3150 Hz
constexpr int kBins = kVekFrameSamples / 2 + 1;

// The third-octave band (0 to 10) each DFT bin of a frame falls in, or -1.
struct Spectrum {
  std::array<double, kVekFrameSamples> window, cosine, sine;
  std::array<int, kBins> band;
  Spectrum() {
    for (int n = 0; n < kVekFrameSamples; ++n) {
      const double angle = 2 * std::numbers::pi * n / int{kVekFrameSamples};
      window[n] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (n + 0.5) / int{kVekFrameSamples});
      cosine[n] = std::cos(angle);
      sine[n] = std::sin(angle);
    }
    for (int k = 0; k < kBins; ++k) {
      const double hz = k * double{kSampleRate} / int{kVekFrameSamples};
      band[k] = -1;
      for (int b = 0; b < kBands; ++b) {
        const double centre = 1000 * std::exp2((b - 5) / 3.0);
        if (hz >= centre * std::exp2(-1 / 6.0) && hz < centre * std::exp2(1 / 6.0)) band[k] = b;
      }
    }
  }

  void BandLevelsDb(const int16_t* pcm, double* levels) const {
    double energy[kBands] = {};
    for (int k = 0; k < kBins; ++k) {
      if (band[k] < 0) continue;
      double re = 0, im = 0;
      for (int n = 0; n < kVekFrameSamples; ++n) {
        const int turn = k * n % kVekFrameSamples;
        re += pcm[n] * window[n] * cosine[turn];
        im += pcm[n] * window[n] * sine[turn];
      }
      energy[band[k]] += re * re + im * im;
    }
    for (int b = 0; b < kBands; ++b) levels[b] = 10 * std::log10(energy[b] + 1);
  }
};

// How far a decoded frame is from its input, lower being nearer: the error's
// level against the input's in dB, plus the square of each dB by which a band
// stands more than 3 dB above the input's (or above 20 dB under the input's
// loudest band, where the input's is weaker: noise there is how such coders
// work), plus the square of each dB by which the peak passes the input's by
// more than 1 dB.
double Distance(const int16_t* input, const int16_t* decoded) {
  static const Spectrum spectrum;
  double in_bands[kBands], out_bands[kBands];
  spectrum.BandLevelsDb(input, in_bands);
  spectrum.BandLevelsDb(decoded, out_bands);
  const double loudest = *std::max_element(in_bands, in_bands + kBands);
  double distance = 0;
  for (int b = 0; b < kBands; ++b) {
    const double excess = out_bands[b] - std::max(in_bands[b], loudest - 20) - 3;
    if (excess > 0) distance += excess * excess;
  }
  double signal = 0, error = 0;
  int in_peak = 0, out_peak = 0;
  for (int n = 0; n < kVekFrameSamples; ++n) {
    const double in = input[n], difference = in - decoded[n];
    signal += in * in;
    error += difference * difference;
    in_peak = std::max(in_peak, std::abs(int{input[n]}));
    out_peak = std::max(out_peak, std::abs(int{decoded[n]}));
  }
  const double overshoot = 20 * std::log10((out_peak + 1.0) / (in_peak + 1.0)) - 1;
  if (overshoot > 0) distance += overshoot * overshoot;
  return distance + 10 * std::log10((error + 1) / (signal + 1));
}

OpusEncoder* AsEncoder(std::vector<unsigned char>& state) {
  return reinterpret_cast<OpusEncoder*>(state.data());
}

OpusDecoder* AsDecoder(std::vector<unsigned char>& state) {
  return reinterpret_cast<OpusDecoder*>(state.data());
}

}  // namespace

void OpusFrameDecoder::Reset() {
  state_.assign(opus_decoder_get_size(1), 0);
  if (opus_decoder_init(AsDecoder(state_), kSampleRate, 1) != OPUS_OK) state_.clear();
  limiter_gain_ = 1;
}

void OpusFrameDecoder::Decode(const uint8_t* packet, int packet_bytes, int peak_code,
                              int16_t* pcm) {
  if (state_.empty()) {
    std::fill(pcm, pcm + kVekFrameSamples, 0);
    return;
  }
  OpusDecoder* decoder = AsDecoder(state_);
  if (peak_code == 0) {
    // Frames from coders that set no peak code decode as they always have.
    // The whole packet, trailing zeros too: they are padding libopus expects.
    int decoded = opus_decode(decoder, packet, packet_bytes, pcm, kVekFrameSamples, 0);
    if (decoded < 0) decoded = opus_decode(decoder, nullptr, 0, pcm, kVekFrameSamples, 0);
    // A garbled packet may also decode to less than a frame (or fail outright).
    std::fill(pcm + std::clamp(decoded, 0, int{kVekFrameSamples}), pcm + kVekFrameSamples, 0);
    return;
  }
  float samples[kVekFrameSamples];
  int decoded = opus_decode_float(decoder, packet, packet_bytes, samples, kVekFrameSamples, 0);
  if (decoded < 0) decoded = opus_decode_float(decoder, nullptr, 0, samples, kVekFrameSamples, 0);
  std::fill(samples + std::clamp(decoded, 0, int{kVekFrameSamples}), samples + kVekFrameSamples,
            0.0f);
  const float gain = 32768 * LevelCorrection(packet_bytes);
  for (float& sample : samples) sample *= gain;
  limiter_gain_ = Limit(Ceiling(peak_code), limiter_gain_, samples);
  for (int n = 0; n < kVekFrameSamples; ++n) {
    pcm[n] = static_cast<int16_t>(std::clamp(std::lrint(samples[n]), -32768L, 32767L));
  }
}

void OpusFrameEncoder::Reset() {
  decoder_.Reset();
  state_.assign(opus_encoder_get_size(1), 0);
  OpusEncoder* encoder = AsEncoder(state_);
  if (opus_encoder_init(encoder, kSampleRate, 1, OPUS_APPLICATION_VOIP) != OPUS_OK) {
    state_.clear();
    return;
  }
  // Fixed-size packets; no discontinuous transmission and no redundancy, as
  // the frame sizes leave no room for either.
  opus_encoder_ctl(encoder, OPUS_SET_VBR(0));
  opus_encoder_ctl(encoder, OPUS_SET_DTX(0));
  opus_encoder_ctl(encoder, OPUS_SET_INBAND_FEC(0));
  opus_encoder_ctl(encoder, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE));
}

bool OpusFrameEncoder::Encode(const int16_t* pcm, int packet_bytes, int peak_code,
                              uint8_t* packet) {
  if (state_.empty()) return false;
  if (opus_encoder_ctl(AsEncoder(state_),
                       OPUS_SET_BITRATE(packet_bytes * kBitsPerSecondPerPacketByte)) != OPUS_OK) {
    return false;
  }
  // Each try starts from the same point; the nearest one's states are kept.
  const std::vector<unsigned char> start = state_;
  const OpusFrameDecoder start_decoder = decoder_;
  std::vector<unsigned char> best;
  OpusFrameDecoder best_decoder = decoder_;
  double best_distance = std::numeric_limits<double>::infinity();
  for (int complexity : kSpeechComplexities) {
    state_ = start;
    decoder_ = start_decoder;
    OpusEncoder* encoder = AsEncoder(state_);
    opus_encoder_ctl(encoder, OPUS_SET_COMPLEXITY(complexity));
    uint8_t candidate[kVekMaxFrameBytes];
    const opus_int32 length =
        opus_encode(encoder, pcm + kVekFrameLookahead, kVekFrameSamples, candidate, packet_bytes);
    // Should libopus ever come out short, padding keeps the frame its size.
    if (length <= 0 || length > packet_bytes ||
        (length < packet_bytes && opus_packet_pad(candidate, length, packet_bytes) != OPUS_OK)) {
      continue;
    }
    int16_t decoded[kVekFrameSamples];
    decoder_.Decode(candidate, packet_bytes, peak_code, decoded);
    const double distance = Distance(pcm, decoded);
    if (distance < best_distance) {
      best_distance = distance;
      std::memcpy(packet, candidate, packet_bytes);
      best = state_;
      best_decoder = decoder_;
    }
  }
  state_ = best.empty() ? start : best;
  decoder_ = best.empty() ? start_decoder : best_decoder;
  return !best.empty();
}

}  // namespace vek
