#include "vbr_frame_chooser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "vek.h"

namespace vek {
namespace {

// Levels are in dB of RMS sample value; full scale is about 90 dB.
constexpr int kSilencePeak = 2;               // what dither leaves in "digital silence"
constexpr double kNoiseCeilingDb = 55;        // about -35 dBFS: louder is never background
constexpr double kNoiseMarginDb = 6;          // how far above the floor noise may wander
constexpr double kFloorRiseDbPerFrame = 0.1;  // lets the floor follow slowly rising noise
constexpr double kPeakFallDbPerFrame = 0.1;
// Noise is only steady on average: a low rumble swings a few dB from one
// 20 ms frame to the next.
constexpr double kSteadyLevelChangeDb = 5;
constexpr double kSteadyShapeChange = 0.2;
constexpr double kSmoothing = 0.3;  // weight of the newest frame in the running averages
// A quarter second of unchanging sound is background, whatever the floor
// said before: speech does not hold still that long.
constexpr int kSteadyFramesForNewFloor = 12;
constexpr int kHangoverFrames = 5;
// Frames this close to the recent peak carry the most of the speech. The
// others are mid frames, never low ones: low frames have a coder of their
// own, and each switch between it and libopus picks up a coder where it left
// off frames before. With quiet speech in low frames a band stood up to
// 9.7 dB above the input's instead of 5.5, for a byte a frame.
constexpr double kHighWithinDb = 12;

}  // namespace

int VbrFrameChooser::Choose(const int16_t* pcm) {
  int peak = 0;
  double correlation[3] = {};
  for (int i = 0; i < kVekFrameSamples; ++i) {
    peak = std::max(peak, std::abs(int{pcm[i]}));
    for (int lag = 0; lag < 3 && lag <= i; ++lag) {
      correlation[lag] += static_cast<double>(pcm[i]) * pcm[i - lag];
    }
  }
  if (peak <= kSilencePeak) return kVekFrameSilence;

  const double level_db = 10 * std::log10(correlation[0] / int{kVekFrameSamples});
  const double shape[2] = {correlation[1] / correlation[0], correlation[2] / correlation[0]};
  if (!started_) {
    started_ = true;
    noise_floor_db_ = speech_peak_db_ = recent_level_db_ = level_db;
    std::copy(std::begin(shape), std::end(shape), std::begin(recent_shape_));
  }

  const bool steady = std::abs(level_db - recent_level_db_) < kSteadyLevelChangeDb &&
                      std::abs(shape[0] - recent_shape_[0]) < kSteadyShapeChange &&
                      std::abs(shape[1] - recent_shape_[1]) < kSteadyShapeChange;
  steady_frames_ = steady ? steady_frames_ + 1 : 0;
  recent_level_db_ += kSmoothing * (level_db - recent_level_db_);
  for (int i = 0; i < 2; ++i) recent_shape_[i] += kSmoothing * (shape[i] - recent_shape_[i]);

  // The floor follows the running average rather than single frames, so it
  // sits near the middle of the noise, not at its quietest dips.
  noise_floor_db_ = std::min(noise_floor_db_ + kFloorRiseDbPerFrame, recent_level_db_);
  if (steady_frames_ >= kSteadyFramesForNewFloor && recent_level_db_ < kNoiseCeilingDb) {
    noise_floor_db_ = recent_level_db_;
  }
  speech_peak_db_ = std::max(speech_peak_db_ - kPeakFallDbPerFrame, level_db);

  const bool background =
      steady && level_db < kNoiseCeilingDb && level_db < noise_floor_db_ + kNoiseMarginDb;
  if (background && hangover_frames_ == 0) return kVekFrameNoise;
  if (background) {
    --hangover_frames_;
    return kVekFrameMid;
  }
  hangover_frames_ = kHangoverFrames;
  return level_db > speech_peak_db_ - kHighWithinDb ? kVekFrameHigh : kVekFrameMid;
}

}  // namespace vek
