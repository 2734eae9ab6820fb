// The peak code every speech frame carries in the low six bits of its first
// byte (0 in frames from coders that set none): 1 to 63 stand for a ceiling
// of 2^((code - 63) / 8) of full scale, in steps of 0.75 dB, at or above the
// input's peak over the frame and the ones just before it. The decoder holds
// a frame with a peak code under that ceiling.
#ifndef ONDAVO_CODEC_PEAK_LIMITER_H_
#define ONDAVO_CODEC_PEAK_LIMITER_H_

namespace vek {

constexpr int kPeakCodeMask = 0x3F;

// The smallest peak code whose ceiling is at or above `peak` (0 to 32768).
int PeakCode(int peak);

// A code's ceiling, in sample values.
float Ceiling(int peak_code);

// Scales a frame's 160 samples so that none passes `ceiling`, falling in a
// straight line over 5 ms to what each peak needs and rising back over
// 50 ms; `gain` is where the last frame left off, and the result is where this
// one does.
float Limit(float ceiling, float gain, float* samples);

}  // namespace vek

#endif  // ONDAVO_CODEC_PEAK_LIMITER_H_
