// Loudness steps of a quarter octave in amplitude (about 1.5 dB), shared by
// the record scale and the comfort-noise level so both quantise alike.
#ifndef ONDAVO_CODEC_LOG_SCALE_H_
#define ONDAVO_CODEC_LOG_SCALE_H_

#include <cstdint>

namespace vek {

constexpr int kLogScaleSteps = 64;  // six bits
constexpr int kLogScaleFractionBits = 12;

// Returns 2^(step / 4) in Q12 for step 0..63; at most about 2^27.75, so it
// still fits an int32 after multiplying by 3 (the largest record level).
constexpr int32_t LogScaleQ12(int step) {
  constexpr int32_t kQuarterOctavesQ12[4] = {4096, 4871, 5793, 6889};
  return kQuarterOctavesQ12[step & 3] << ((step >> 2) & 15);
}

}  // namespace vek

#endif  // ONDAVO_CODEC_LOG_SCALE_H_
