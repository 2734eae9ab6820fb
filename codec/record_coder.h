// Records: 32 samples in 9 bytes of block-adaptive 2-bit ADPCM.
//
// A record's first byte picks one of four fixed second-order predictors (top
// two bits) and a step size of 2^(s/4) (low six bits); the next eight bytes
// hold one 2-bit code per sample, first sample in the top bits, for the levels
// +-0.5 and +-1.5 steps. The predictor history runs on across records, so a
// record only decodes right after the ones before it.
//
// Reconstruction is integer-only and shared by both sides: the encoder steers
// by exactly the samples the decoder will produce, so the two never drift.
#ifndef ONDAVO_CODEC_RECORD_CODER_H_
#define ONDAVO_CODEC_RECORD_CODER_H_

#include <cstdint>

#include "vek.h"

namespace vek {

constexpr int kRecordSamples = kVekBlockSamples;
constexpr int kRecordBytes = kVekRecordBytes;

// The last two reconstructed samples, which the next prediction starts from.
struct RecordHistory {
  int32_t previous = 0;
  int32_t before_previous = 0;
};

class RecordEncoder {
 public:
  void Reset() { history_ = RecordHistory(); }

  // Tries every predictor with a dozen step sizes around the block's level and
  // writes the record with the least squared error to record[0..8].
  void Encode(const int16_t* pcm, uint8_t* record);

 private:
  RecordHistory history_;
};

class RecordDecoder {
 public:
  void Reset() { history_ = RecordHistory(); }

  // Any nine bytes decode; the output is clamped to 16 bits.
  void Decode(const uint8_t* record, int16_t* pcm);

 private:
  RecordHistory history_;
};

}  // namespace vek

#endif  // ONDAVO_CODEC_RECORD_CODER_H_
