#include "peak_limiter.h"

#include <algorithm>
#include <cmath>

#include "vek.h"

namespace vek {
namespace {

// 2^(-i/8): the ceilings of one octave of peak codes.
constexpr float kEighthOctaves[8] = {1.0f,        0.91700404f, 0.84089642f, 0.77110541f,
                                     0.70710678f, 0.64841977f, 0.59460356f, 0.54525387f};

// The gain falls over kAttack samples and rises by kRelease a sample (from
// half to full in 50 ms).
constexpr int kAttack = 40;
constexpr float kRelease = 1.0f / 800;

}  // namespace

float Ceiling(int peak_code) {
  const int below = 63 - peak_code;
  return std::ldexp(32768 * kEighthOctaves[below % 8], -(below / 8));
}

int PeakCode(int peak) {
  int code = 1;
  while (code < 63 && Ceiling(code) < float(peak)) ++code;
  return code;
}

float Limit(float ceiling, float gain, float* samples) {
  float peak = 0;
  for (int n = 0; n < kVekFrameSamples; ++n) peak = std::max(peak, std::abs(samples[n]));
  if (peak <= ceiling && gain == 1.0f) return gain;
  float needed[kVekFrameSamples];
  for (int n = 0; n < kVekFrameSamples; ++n) {
    const float magnitude = std::abs(samples[n]);
    needed[n] = magnitude > ceiling ? ceiling / magnitude : 1.0f;
  }
  for (int n = 0; n < kVekFrameSamples; ++n) {
    float target = std::min(1.0f, gain + kRelease);
    for (int m = n; m < std::min(n + kAttack, int{kVekFrameSamples}); ++m) {
      target = std::min(target, needed[m] + (1.0f - needed[m]) * float(m - n) / kAttack);
    }
    gain = target;
    samples[n] *= gain;
  }
  return gain;
}

}  // namespace vek
