// Chooses each frame's type in vbr mode: digital silence becomes a silence
// frame, steady low background noise a comfort-noise frame, and speech a
// high or a mid speech frame as it is loud or not next to the recent peaks.
#ifndef ONDAVO_CODEC_TOOL_VBR_FRAME_CHOOSER_H_
#define ONDAVO_CODEC_TOOL_VBR_FRAME_CHOOSER_H_

#include <cstdint>

namespace vek {

class VbrFrameChooser {
 public:
  // Looks at 160 samples and returns a VekFrameType. Learns the noise floor
  // and the speech level as it goes, so feed it every frame in order.
  int Choose(const int16_t* pcm);

 private:
  bool started_ = false;
  double noise_floor_db_ = 0;
  double speech_peak_db_ = 0;
  // Running averages of the level and of the normalised autocorrelation at
  // lags 1 and 2 (a cheap picture of the spectral shape) over recent frames.
  double recent_level_db_ = 0;
  double recent_shape_[2] = {};
  // How many frames in a row kept their level and shape.
  int steady_frames_ = 0;
  // Frames still to code as speech after speech stopped, so word endings
  // that fade into the noise are not cut off.
  int hangover_frames_ = 0;
};

}  // namespace vek

#endif  // ONDAVO_CODEC_TOOL_VBR_FRAME_CHOOSER_H_
