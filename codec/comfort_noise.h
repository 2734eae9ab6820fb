// Comfort noise: a 4-byte frame that stands for steady background noise by
// its level and a coarse spectral shape, played back as seeded pseudo-random
// noise through a small all-pole lattice filter.
//
// The frame's 32 bits, most significant first: 3 type bits (110), 6 bits of
// level (an RMS of 2^(level/4), silence for 0), the reflection coefficients
// k1..k4 in 6, 6, 4 and 4 bits, and 3 spare bits left zero.
#ifndef ONDAVO_CODEC_COMFORT_NOISE_H_
#define ONDAVO_CODEC_COMFORT_NOISE_H_

#include <cstdint>

namespace vek {

constexpr int kComfortNoiseOrder = 4;

struct ComfortNoiseParams {
  int level = 0;                                  // see above
  int reflection_codes[kComfortNoiseOrder] = {};  // 6, 6, 4 and 4 bits
};

// Measures the level and shape of 160 samples. Floating point is fine here:
// only the decoder has to give the same output everywhere.
ComfortNoiseParams AnalyzeComfortNoise(const int16_t* pcm);

void WriteComfortNoiseFrame(const ComfortNoiseParams& params, uint8_t* frame);
ComfortNoiseParams ReadComfortNoiseFrame(const uint8_t* frame);

// Integer-only, so a seed gives the same samples on every machine.
class ComfortNoiseSynthesizer {
 public:
  ComfortNoiseSynthesizer() { Reset(); }

  // Restarts the noise sequence and empties the filter.
  void Reset();

  // Writes 160 samples. The filter state runs on across frames so that
  // consecutive noise frames join without a click.
  void Synthesize(const ComfortNoiseParams& params, int16_t* pcm);

 private:
  int32_t NextExcitation(int64_t gain_q20);

  uint32_t seed_;
  // Each stage's backward value from the previous sample.
  int32_t backward_[kComfortNoiseOrder];
};

}  // namespace vek

#endif  // ONDAVO_CODEC_COMFORT_NOISE_H_
