#include "record_coder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "log_scale.h"

namespace vek {
namespace {

// (a1, a2) in Q14: no prediction for noise-like blocks, a gentle one, and two
// resonant ones for voiced speech. Each stays stable with coarse residuals.
struct Predictor {
  int32_t a1;
  int32_t a2;
};
constexpr int kPredictorCount = 4;
constexpr Predictor kPredictors[kPredictorCount] = {
    {0, 0}, {14746, 0}, {26214, -13107}, {21299, -8192}};

constexpr int kScaleCandidates = 12;
// The best step for a four-level quantiser is close to the residual's RMS, so
// the search is centred there, a little more of it below than above.
constexpr int kScaleCandidatesBelowCentre = 6;

// Half a step and one and a half steps, rounded to whole sample values.
struct CodeLevels {
  int32_t inner;
  int32_t outer;
};

CodeLevels LevelsForScale(int scale) {
  const int32_t step_q12 = LogScaleQ12(scale);
  constexpr int kHalfStepShift = kLogScaleFractionBits + 1;
  constexpr int32_t kRounding = 1 << (kHalfStepShift - 1);
  return {(step_q12 + kRounding) >> kHalfStepShift, (3 * step_q12 + kRounding) >> kHalfStepShift};
}

// Cannot overflow: (|a1| + |a2|) <= 2.4 in Q14, times 32768, stays below 2^31.
int32_t Predict(const Predictor& predictor, const RecordHistory& history) {
  return (predictor.a1 * history.previous + predictor.a2 * history.before_previous + (1 << 13)) >>
         14;
}

// The code whose level lies nearest to what the prediction missed.
unsigned ChooseCode(int32_t miss, const CodeLevels& levels) {
  const unsigned negative = miss < 0 ? 2 : 0;
  const int32_t size = miss < 0 ? -miss : miss;
  return negative | (2 * size > levels.inner + levels.outer ? 1 : 0);
}

// The one reconstruction step both sides take for every sample.
int32_t Reconstruct(int32_t prediction, const CodeLevels& levels, unsigned code,
                    RecordHistory* history) {
  const int32_t size = (code & 1) ? levels.outer : levels.inner;
  const int32_t sample =
      std::clamp<int32_t>(prediction + ((code & 2) ? -size : size),
                          std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
  history->before_previous = history->previous;
  history->previous = sample;
  return sample;
}

// The scale nearest the RMS of what the predictor misses on the input itself.
int CentreScale(const int16_t* pcm, const Predictor& predictor, const RecordHistory& history) {
  double previous = history.previous;
  double before_previous = history.before_previous;
  double energy = 0;
  for (int i = 0; i < kRecordSamples; ++i) {
    const double miss =
        pcm[i] - (predictor.a1 * previous + predictor.a2 * before_previous) / 16384.0;
    energy += miss * miss;
    before_previous = previous;
    previous = pcm[i];
  }
  const double rms = std::sqrt(energy / kRecordSamples);
  return rms < 1 ? 0 : static_cast<int>(std::lround(4 * std::log2(rms)));
}

int CodeShift(int sample_index) {
  return 6 - 2 * (sample_index % 4);
}

// GCC builds the trial loop twice on x86, plain and for SSE4.1, and picks at
// load time; elsewhere (and on Windows, whose loader has no ifunc to pick
// with) it is plain code, which gives the same results.
#if defined(__GNUC__) && !defined(__clang__) && (defined(__x86_64__) || defined(__i386__)) && \
    !defined(_WIN32)
#define VEK_VECTORIZED \
  __attribute__((target_clones("default", "sse4.1"), optimize("tree-vectorize")))
#else
#define VEK_VECTORIZED
#endif

// All kScaleCandidates trials of one predictor, side by side over the
// samples: twelve independent chains instead of one long one, which the
// processor overlaps and, built for SSE4.1, the compiler vectorizes. Each
// error is complete (no early stop); the choice is the same, since a trial
// that the one-by-one search gave up on was already no better.
VEK_VECTORIZED void TrialErrors(const int16_t* pcm, const Predictor& predictor, int first_scale,
                                const RecordHistory& start, int64_t* errors) {
  int32_t inner[kScaleCandidates], threshold[kScaleCandidates], outer[kScaleCandidates];
  int32_t previous[kScaleCandidates], before_previous[kScaleCandidates];
  for (int k = 0; k < kScaleCandidates; ++k) {
    const CodeLevels levels = LevelsForScale(first_scale + k);
    inner[k] = levels.inner;
    outer[k] = levels.outer;
    threshold[k] = levels.inner + levels.outer;
    previous[k] = start.previous;
    before_previous[k] = start.before_previous;
    errors[k] = 0;
  }
  for (int i = 0; i < kRecordSamples; ++i) {
    const int32_t x = pcm[i];
    for (int k = 0; k < kScaleCandidates; ++k) {
      const int32_t prediction =
          (predictor.a1 * previous[k] + predictor.a2 * before_previous[k] + (1 << 13)) >> 14;
      const int32_t miss = x - prediction;
      const int32_t size = miss < 0 ? -miss : miss;
      const int32_t level = 2 * size > threshold[k] ? outer[k] : inner[k];
      const int32_t sample = std::clamp<int32_t>(miss < 0 ? prediction - level : prediction + level,
                                                 std::numeric_limits<int16_t>::min(),
                                                 std::numeric_limits<int16_t>::max());
      before_previous[k] = previous[k];
      previous[k] = sample;
      const int64_t error = x - sample;
      errors[k] += error * error;
    }
  }
}

}  // namespace

void RecordEncoder::Encode(const int16_t* pcm, uint8_t* record) {
  int best_predictor = 0;
  int best_scale = 0;
  int64_t best_error = std::numeric_limits<int64_t>::max();
  for (int p = 0; p < kPredictorCount; ++p) {
    const int first_scale =
        std::clamp(CentreScale(pcm, kPredictors[p], history_) - kScaleCandidatesBelowCentre, 0,
                   kLogScaleSteps - kScaleCandidates);
    int64_t errors[kScaleCandidates];
    TrialErrors(pcm, kPredictors[p], first_scale, history_, errors);
    for (int k = 0; k < kScaleCandidates; ++k) {
      if (errors[k] < best_error) {
        best_error = errors[k];
        best_predictor = p;
        best_scale = first_scale + k;
      }
    }
  }

  // Code the block again with the winner, this time keeping codes and history.
  uint8_t coded[kRecordBytes] = {};
  coded[0] = static_cast<uint8_t>(best_predictor << 6 | best_scale);
  const Predictor& predictor = kPredictors[best_predictor];
  const CodeLevels levels = LevelsForScale(best_scale);
  for (int i = 0; i < kRecordSamples; ++i) {
    const int32_t prediction = Predict(predictor, history_);
    const unsigned code = ChooseCode(pcm[i] - prediction, levels);
    Reconstruct(prediction, levels, code, &history_);
    coded[1 + i / 4] |= static_cast<uint8_t>(code << CodeShift(i));
  }
  std::memcpy(record, coded, sizeof(coded));
}

void RecordDecoder::Decode(const uint8_t* record, int16_t* pcm) {
  const Predictor& predictor = kPredictors[record[0] >> 6];
  const CodeLevels levels = LevelsForScale(record[0] & 63);
  for (int i = 0; i < kRecordSamples; ++i) {
    const unsigned code = (record[1 + i / 4] >> CodeShift(i)) & 3;
    pcm[i] =
        static_cast<int16_t>(Reconstruct(Predict(predictor, history_), levels, code, &history_));
  }
}

}  // namespace vek
