#include "comfort_noise.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <numbers>

#include "levinson.h"
#include "log_scale.h"
#include "vek.h"

namespace vek {
namespace {

constexpr int kReflectionBits[kComfortNoiseOrder] = {6, 6, 4, 4};

// sin of evenly spaced angles in Q15: the steps get finer towards +-1, where
// the filter's response is most sensitive to the coefficient.
constexpr int32_t kReflection6BitQ15[64] = {
    -32757, -32678, -32521, -32285, -31971, -31580, -31113, -30571, -29956, -29268, -28510,
    -27683, -26790, -25832, -24811, -23731, -22594, -21403, -20159, -18868, -17530, -16151,
    -14732, -13279, -11793, -10278, -8739,  -7179,  -5602,  -4011,  -2410,  -804,   804,
    2410,   4011,   5602,   7179,   8739,   10278,  11793,  13279,  14732,  16151,  17530,
    18868,  20159,  21403,  22594,  23731,  24811,  25832,  26790,  27683,  28510,  29268,
    29956,  30571,  31113,  31580,  31971,  32285,  32521,  32678,  32757};
constexpr int32_t kReflection4BitQ15[16] = {-32609, -31356, -28898, -25329, -20787, -15446,
                                            -9512,  -3212,  3212,   9512,   15446,  20787,
                                            25329,  28898,  31356,  32609};

int32_t ReflectionQ15(int stage, int code) {
  return kReflectionBits[stage] == 6 ? kReflection6BitQ15[code & 63]
                                     : kReflection4BitQ15[code & 15];
}

// The inverse of the tables above: the cell of evenly spaced angles that k falls in.
int QuantiseReflection(double k, int bits) {
  const int levels = 1 << bits;
  const double angle = std::asin(std::clamp(k, -1.0, 1.0));
  const int code = static_cast<int>(std::floor((angle / (std::numbers::pi / 2) + 1) * levels / 2));
  return std::clamp(code, 0, levels - 1);
}

// The RMS of the uniform excitation the generator gives before scaling.
constexpr int64_t kUniformRms = 18919;  // 32768 / sqrt(3)
constexpr uint32_t kInitialSeed = 0x2545F491u;
// The filter runs with 8 fraction bits: rounding whole samples at every stage
// would add a hum of its own that swamps quiet noise.
constexpr int kStateFractionBits = 8;
constexpr int32_t kStateLimit = 1 << 30;  // far above any sane value; only stops runaway

int32_t SaturateState(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, -kStateLimit, kStateLimit));
}

int32_t MultiplyQ15(int32_t k_q15, int32_t value) {
  return static_cast<int32_t>((int64_t{k_q15} * value + (1 << 14)) >> 15);
}

int64_t IntegerSquareRoot(int64_t value) {
  int64_t root = 0;
  for (int64_t bit = int64_t{1} << 62; bit != 0; bit >>= 2) {
    if (value >= root + bit) {
      value -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
  }
  return root;
}

}  // namespace

ComfortNoiseParams AnalyzeComfortNoise(const int16_t* pcm) {
  double correlation[kComfortNoiseOrder + 1] = {};
  for (int lag = 0; lag <= kComfortNoiseOrder; ++lag) {
    for (int i = lag; i < kVekFrameSamples; ++i)
      correlation[lag] += static_cast<double>(pcm[i]) * pcm[i - lag];
  }

  ComfortNoiseParams params;
  const double rms = std::sqrt(correlation[0] / int{kVekFrameSamples});
  params.level = rms < 1 ? 0
                         : std::clamp(static_cast<int>(std::lround(4 * std::log2(rms))), 0,
                                      kLogScaleSteps - 1);

  // A touch of added white noise keeps the recursion well conditioned.
  correlation[0] = correlation[0] * 1.0001 + 1e-9;
  double predictor[kComfortNoiseOrder], reflection[kComfortNoiseOrder];
  Levinson<kComfortNoiseOrder>(correlation, predictor, reflection);
  for (int i = 0; i < kComfortNoiseOrder; ++i) {
    params.reflection_codes[i] = QuantiseReflection(reflection[i], kReflectionBits[i]);
  }
  return params;
}

void WriteComfortNoiseFrame(const ComfortNoiseParams& params, uint8_t* frame) {
  const uint32_t word = 0xC0000000u | uint32_t(params.level & 63) << 23 |
                        uint32_t(params.reflection_codes[0] & 63) << 17 |
                        uint32_t(params.reflection_codes[1] & 63) << 11 |
                        uint32_t(params.reflection_codes[2] & 15) << 7 |
                        uint32_t(params.reflection_codes[3] & 15) << 3;
  for (int i = 0; i < 4; ++i) frame[i] = static_cast<uint8_t>(word >> (24 - 8 * i));
}

ComfortNoiseParams ReadComfortNoiseFrame(const uint8_t* frame) {
  uint32_t word = 0;
  for (int i = 0; i < 4; ++i) word = word << 8 | frame[i];
  ComfortNoiseParams params;
  params.level = static_cast<int>(word >> 23 & 63);
  params.reflection_codes[0] = static_cast<int>(word >> 17 & 63);
  params.reflection_codes[1] = static_cast<int>(word >> 11 & 63);
  params.reflection_codes[2] = static_cast<int>(word >> 7 & 15);
  params.reflection_codes[3] = static_cast<int>(word >> 3 & 15);
  return params;
}

void ComfortNoiseSynthesizer::Reset() {
  seed_ = kInitialSeed;
  std::fill(std::begin(backward_), std::end(backward_), 0);
}

int32_t ComfortNoiseSynthesizer::NextExcitation(int64_t gain_q20) {
  seed_ = seed_ * 1664525u + 1013904223u;
  // The high bits of this generator are the random ones.
  const int64_t uniform = static_cast<int16_t>(seed_ >> 16);
  constexpr int kShift = 20 - kStateFractionBits;
  return static_cast<int32_t>((uniform * gain_q20 + (1 << (kShift - 1))) >> kShift);
}

void ComfortNoiseSynthesizer::Synthesize(const ComfortNoiseParams& params, int16_t* pcm) {
  if (params.level == 0) {
    std::fill(pcm, pcm + kVekFrameSamples, 0);
    return;
  }
  int32_t k_q15[kComfortNoiseOrder];
  for (int i = 0; i < kComfortNoiseOrder; ++i) {
    k_q15[i] = ReflectionQ15(i, params.reflection_codes[i]);
  }

  // The filter raises the power of white noise by 1 / prod(1 - k^2), so the
  // excitation is scaled down by the square root of that product to make the
  // output land on the coded level.
  int64_t residual_power_q30 = int64_t{1} << 30;
  for (int32_t k : k_q15) {
    residual_power_q30 = (residual_power_q30 * ((int64_t{1} << 30) - int64_t{k} * k)) >> 30;
  }
  const int64_t residual_rms_q15 = IntegerSquareRoot(residual_power_q30);
  const int64_t excitation_rms_q12 = (LogScaleQ12(params.level) * residual_rms_q15) >> 15;
  const int64_t gain_q20 = excitation_rms_q12 * 256 / kUniformRms;

  for (int n = 0; n < kVekFrameSamples; ++n) {
    int32_t forward = NextExcitation(gain_q20);
    for (int stage = kComfortNoiseOrder - 1; stage >= 0; --stage) {
      forward = SaturateState(forward + MultiplyQ15(k_q15[stage], backward_[stage]));
      if (stage + 1 < kComfortNoiseOrder) {
        backward_[stage + 1] = SaturateState(backward_[stage] - MultiplyQ15(k_q15[stage], forward));
      }
    }
    backward_[0] = forward;
    const int32_t sample = (forward + (1 << (kStateFractionBits - 1))) >> kStateFractionBits;
    pcm[n] = static_cast<int16_t>(std::clamp<int32_t>(sample, std::numeric_limits<int16_t>::min(),
                                                      std::numeric_limits<int16_t>::max()));
  }
}

}  // namespace vek
