#include "celp_frame_coder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "levinson.h"
#include "peak_limiter.h"

namespace vek {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kHalves = 2;

// --- The parameters of a frame and their bits ----------------------------

// Bits per line spectral frequency: the low ones, where a voice's formants
// are, get the most.
constexpr int kLsfBits[kCelpOrder] = {3, 3, 3, 3, 3, 2, 2, 2, 2, 1};
// The quantiser's step for each, in radians (2 pi radians = 8000 Hz).
constexpr double kLsfStep[kCelpOrder] = {0.05, 0.06, 0.07, 0.07, 0.07,
                                         0.11, 0.11, 0.11, 0.11, 0.16};
// How much of the last frame's frequencies (about their mean) each frame's
// prediction keeps.
constexpr double kLsfPrediction = 0.6;
constexpr double kLsfMinGap = 0.04;  // about 50 Hz; keeps the filter stable

constexpr int kLagBits = 7, kLagChangeBits = 5, kPitchGainBits = 3, kPulseGainBits = 5,
              kPulseBits = 13;
constexpr int kLagChangeBelow = 1 << (kLagChangeBits - 1);
constexpr double kPitchGains[1 << kPitchGainBits] = {0, 0.15, 0.3, 0.45, 0.6, 0.75, 0.9, 1.0};
// Pulse gains: 4 times 2.8 dB steps, up to about 87 dB more.
constexpr double kPulseGainBase = 4, kPulseGainStep = 1.3803842646028848;
// Pulses repeat at the lag (when it is shorter than a half) at this gain,
// which gives a high voice's pulses its pitch.
constexpr double kPulseSharpening = 0.5;
constexpr int kTrackPositions = kCelpHalf / 2;  // one pulse on even samples, one on odd

// A decode matched to its input's waveform at this coder's signal-to-noise
// ratio (about 7 dB on speech) is quieter than the input by 1 to 2 dB, the
// share of the error; the decoder gives back 0.5 dB of it, which costs
// 0.1 dB of that ratio.
constexpr double kLevel = 1.0592537;

// Bounds no sound decode reaches, which keep a garbled frame's numbers finite.
constexpr double kExcitationLimit = 1 << 20, kSynthesisLimit = 1 << 22;

struct HalfParams {
  int lag = kCelpMinLag;
  int pitch_gain = 0;
  int pulse_gain = 0;
  int pulses = 0;  // (even slot * 40 + odd slot) * 4 + sign bits
};

struct FrameParams {
  int lsf[kCelpOrder] = {};
  HalfParams half[kHalves];
};

class BitWriter {
 public:
  explicit BitWriter(uint8_t* bytes) : bytes_(bytes) {
    std::fill(bytes, bytes + kCelpPayloadBytes, 0);
  }
  void Put(int value, int bits) {
    for (int b = bits - 1; b >= 0; --b, ++at_) {
      if (value >> b & 1) bytes_[at_ / 8] |= static_cast<uint8_t>(0x80 >> at_ % 8);
    }
  }

 private:
  uint8_t* bytes_;
  int at_ = 0;
};

class BitReader {
 public:
  explicit BitReader(const uint8_t* bytes) : bytes_(bytes) {}
  int Get(int bits) {
    int value = 0;
    for (int b = 0; b < bits; ++b, ++at_)
      value = value << 1 | (bytes_[at_ / 8] >> (7 - at_ % 8) & 1);
    return value;
  }

 private:
  const uint8_t* bytes_;
  int at_ = 0;
};

void Pack(const FrameParams& p, uint8_t* payload) {
  BitWriter out(payload);
  out.Put(3, 2);  // the marker
  for (int i = 0; i < kCelpOrder; ++i) out.Put(p.lsf[i], kLsfBits[i]);
  for (int h = 0; h < kHalves; ++h) {
    const HalfParams& half = p.half[h];
    if (h == 0) {
      out.Put(half.lag - kCelpMinLag, kLagBits);
    } else {
      out.Put(half.lag - p.half[0].lag + kLagChangeBelow, kLagChangeBits);
    }
    out.Put(half.pitch_gain, kPitchGainBits);
    out.Put(half.pulse_gain, kPulseGainBits);
    out.Put(half.pulses, kPulseBits);
  }
}

FrameParams Unpack(const uint8_t* payload) {
  BitReader in(payload);
  in.Get(2);
  FrameParams p;
  for (int i = 0; i < kCelpOrder; ++i) p.lsf[i] = in.Get(kLsfBits[i]);
  for (int h = 0; h < kHalves; ++h) {
    HalfParams& half = p.half[h];
    half.lag = h == 0 ? kCelpMinLag + in.Get(kLagBits)
                      : std::clamp(p.half[0].lag + in.Get(kLagChangeBits) - kLagChangeBelow,
                                   kCelpMinLag, kCelpMaxLag);
    half.pitch_gain = in.Get(kPitchGainBits);
    half.pulse_gain = in.Get(kPulseGainBits);
    half.pulses = in.Get(kPulseBits);
  }
  return p;
}

// --- Arithmetic both sides share -----------------------------------------

// cos(w) for w in [0, 2 pi] by its series, the same to the last bit everywhere.
double Cos(double w) {
  if (w > kPi) w = 2 * kPi - w;
  const bool flip = w > kPi / 2;
  const double x = flip ? kPi - w : w;
  double sum = 1, term = 1;
  for (int k = 1; k <= 10; ++k) {
    term *= -x * x / ((2 * k - 1) * (2 * k));
    sum += term;
  }
  return flip ? -sum : sum;
}

double PulseGain(int code) {
  double gain = kPulseGainBase;
  for (int k = 0; k < code; ++k) gain *= kPulseGainStep;
  return gain;
}

double LsfMean(int i) {
  return kPi * (i + 1) / (kCelpOrder + 1);
}

// What a frame's frequency i will be, going by the last frame's.
double PredictLsf(const std::array<double, kCelpOrder>& previous, int i) {
  return LsfMean(i) + kLsfPrediction * (previous[i] - LsfMean(i));
}

// The frame's frequencies from their codes and the last frame's, sorted and
// kept apart so that any ten codes give a stable filter.
void DecodeLsf(const std::array<double, kCelpOrder>& previous, const int* codes, double* lsf) {
  for (int i = 0; i < kCelpOrder; ++i) {
    const double predicted = PredictLsf(previous, i);
    lsf[i] = predicted + (codes[i] - (1 << (kLsfBits[i] - 1)) + 0.5) * kLsfStep[i];
  }
  std::sort(lsf, lsf + kCelpOrder);
  lsf[0] = std::max(lsf[0], kLsfMinGap);
  for (int i = 1; i < kCelpOrder; ++i) lsf[i] = std::max(lsf[i], lsf[i - 1] + kLsfMinGap);
  lsf[kCelpOrder - 1] = std::min(lsf[kCelpOrder - 1], kPi - kLsfMinGap);
  for (int i = kCelpOrder - 2; i >= 0; --i) lsf[i] = std::min(lsf[i], lsf[i + 1] - kLsfMinGap);
}

// A(z) = 1 + a[0] z^-1 + ... + a[9] z^-10 from its line spectral frequencies:
// the even ones are the roots of A(z) + z^-11 A(1/z), the odd ones of the
// difference.
void LpcFromLsf(const double* lsf, double* a) {
  double sum[kCelpOrder + 2] = {1}, difference[kCelpOrder + 2] = {1};
  for (int i = 0; i < kCelpOrder; ++i) {
    double* poly = i % 2 == 0 ? sum : difference;
    const double c = -2 * Cos(lsf[i]);
    const int degree = i / 2 * 2;  // before this factor
    for (int k = degree + 2; k >= 1; --k) poly[k] += c * poly[k - 1] + (k >= 2 ? poly[k - 2] : 0);
  }
  for (int k = kCelpOrder + 1; k >= 1; --k) {
    sum[k] += sum[k - 1];
    difference[k] -= difference[k - 1];
  }
  for (int k = 0; k < kCelpOrder; ++k) a[k] = 0.5 * (sum[k + 1] + difference[k + 1]);
}

// The frequencies of each half: the first between the last frame's and this
// one's.
void HalfLpc(const std::array<double, kCelpOrder>& previous, const double* lsf, int half,
             double* a) {
  double mixed[kCelpOrder];
  for (int i = 0; i < kCelpOrder; ++i) mixed[i] = half == 0 ? 0.5 * (previous[i] + lsf[i]) : lsf[i];
  LpcFromLsf(mixed, a);
}

void PitchVector(const CelpState& state, int lag, double* v) {
  const int end = static_cast<int>(state.excitation.size());
  for (int n = 0; n < kCelpHalf; ++n) v[n] = n < lag ? state.excitation[end - lag + n] : v[n - lag];
}

void PulseVector(int pulses, int lag, double* c) {
  std::fill(c, c + kCelpHalf, 0.0);
  const int slots = std::min(pulses >> 2, kTrackPositions * kTrackPositions - 1);
  c[2 * (slots / kTrackPositions)] = pulses & 2 ? -1 : 1;
  c[2 * (slots % kTrackPositions) + 1] = pulses & 1 ? -1 : 1;
  for (int n = lag; n < kCelpHalf; ++n) c[n] += kPulseSharpening * c[n - lag];
}

// One half's excitation from its parameters.
void Excitation(const CelpState& state, const HalfParams& half, double* u) {
  double v[kCelpHalf], c[kCelpHalf];
  PitchVector(state, half.lag, v);
  PulseVector(half.pulses, half.lag, c);
  const double pitch_gain = kPitchGains[half.pitch_gain], pulse_gain = PulseGain(half.pulse_gain);
  for (int n = 0; n < kCelpHalf; ++n) {
    u[n] = std::clamp(pitch_gain * v[n] + pulse_gain * c[n], -kExcitationLimit, kExcitationLimit);
  }
}

// Runs the synthesis filter 1/A(z) over one half's excitation, and keeps it.
void Synthesize(CelpState& state, const double* a, const double* u, double* out) {
  std::copy(state.excitation.begin() + kCelpHalf, state.excitation.end(), state.excitation.begin());
  std::copy(u, u + kCelpHalf, state.excitation.end() - kCelpHalf);
  auto& memory = state.synthesis;
  for (int n = 0; n < kCelpHalf; ++n) {
    double y = u[n];
    for (int i = 0; i < kCelpOrder; ++i) y -= a[i] * memory[i];
    y = std::clamp(y, -kSynthesisLimit, kSynthesisLimit);
    std::copy_backward(memory.begin(), memory.end() - 1, memory.end());
    memory[0] = out[n] = y;
  }
}

}  // namespace

CelpState::CelpState() {
  for (int i = 0; i < kCelpOrder; ++i) lsf[i] = LsfMean(i);
}

void CelpFrameDecoder::Decode(const uint8_t* payload, int peak_code, int16_t* pcm) {
  const FrameParams p = Unpack(payload);
  double lsf[kCelpOrder];
  DecodeLsf(state_.lsf, p.lsf, lsf);
  double out[kVekFrameSamples];
  for (int h = 0; h < kHalves; ++h) {
    double a[kCelpOrder], u[kCelpHalf];
    HalfLpc(state_.lsf, lsf, h, a);
    Excitation(state_, p.half[h], u);
    Synthesize(state_, a, u, out + h * kCelpHalf);
  }
  std::copy(lsf, lsf + kCelpOrder, state_.lsf.begin());
  float samples[kVekFrameSamples];
  for (int n = 0; n < kVekFrameSamples; ++n) samples[n] = static_cast<float>(out[n] * kLevel);
  if (peak_code != 0) limiter_gain_ = Limit(Ceiling(peak_code), limiter_gain_, samples);
  for (int n = 0; n < kVekFrameSamples; ++n) {
    pcm[n] = static_cast<int16_t>(std::clamp(std::lrint(samples[n]), -32768L, 32767L));
  }
}

// --- The encoder ---------------------------------------------------------

namespace {

constexpr int kAnalysisSamples = int{kVekFrameSamples} + kVekFrameLookahead;
// The weighting filter A(z/0.75) / A(z/0.6) lets the coding error follow the
// formants a little, where the voice covers it. Stronger weighting (up to
// A(z/0.96)) cost SNR and level and kept no band nearer its input's.
constexpr double kWeightNumerator = 0.75, kWeightDenominator = 0.6;

// The frame's envelope, over the frame and its look-ahead.
void AnalyzeLpc(const int16_t* pcm, double* a) {
  double windowed[kAnalysisSamples];
  for (int n = 0; n < kAnalysisSamples; ++n) {
    windowed[n] = pcm[n] * (0.54 - 0.46 * Cos(2 * kPi * n / (kAnalysisSamples - 1)));
  }
  double r[kCelpOrder + 1];
  for (int k = 0; k <= kCelpOrder; ++k) {
    r[k] = 0;
    for (int n = k; n < kAnalysisSamples; ++n) r[k] += windowed[n] * windowed[n - k];
    // A lag window (about 60 Hz wide) against sharp peaks at single harmonics.
    r[k] /= 1 + 0.00111 * k * k;
  }
  r[0] = r[0] * 1.0001 + 1;  // a noise floor 40 dB down
  double predictor[kCelpOrder], reflection[kCelpOrder];
  Levinson<kCelpOrder>(r, predictor, reflection);
  double expansion = 1;
  for (int i = 0; i < kCelpOrder; ++i) a[i] = -predictor[i] * (expansion *= 0.994);
}

// Evaluates the sum (odd = false) or difference polynomial of A(z), divided by
// its fixed root, at x = cos(w).
double LsfPolynomial(const double* a, bool odd, double w) {
  double f[6] = {1};
  for (int i = 0; i < 5; ++i) {
    f[i + 1] = odd ? a[i] - a[kCelpOrder - 1 - i] + f[i] : a[i] + a[kCelpOrder - 1 - i] - f[i];
  }
  const double x = Cos(w);
  double b2 = 1, b1 = 2 * x + f[1];
  for (int i = 2; i < 5; ++i) {
    const double b0 = 2 * x * b1 - b2 + f[i];
    b2 = b1;
    b1 = b0;
  }
  return x * b1 - b2 + 0.5 * f[5];
}

// The ten roots, searched along a grid and refined by halving; false if the
// filter is too near instability to give all ten.
bool LsfFromLpc(const double* a, double* lsf) {
  constexpr int kGrid = 256;
  int found = 0;
  double w = 0, value = LsfPolynomial(a, false, 0);
  while (found < kCelpOrder && w < kPi) {
    const bool odd = found % 2 == 1;
    const double next_w = std::min(w + kPi / kGrid, kPi);
    const double next = LsfPolynomial(a, odd, next_w);
    if ((value <= 0) != (next <= 0)) {
      double low = w, high = next_w;
      for (int k = 0; k < 20; ++k) {
        const double mid = 0.5 * (low + high);
        if ((LsfPolynomial(a, odd, mid) <= 0) == (value <= 0))
          low = mid;
        else
          high = mid;
      }
      lsf[found++] = w = 0.5 * (low + high);
      value = LsfPolynomial(a, !odd, w);
      continue;
    }
    w = next_w;
    value = next;
  }
  return found == kCelpOrder;
}

void QuantizeLsf(const std::array<double, kCelpOrder>& previous, const double* lsf, int* codes) {
  for (int i = 0; i < kCelpOrder; ++i) {
    const double predicted = PredictLsf(previous, i);
    const int levels = 1 << kLsfBits[i];
    codes[i] =
        std::clamp(static_cast<int>(std::floor((lsf[i] - predicted) / kLsfStep[i])) + levels / 2, 0,
                   levels - 1);
  }
}

// y = h * x over one half.
void Convolve(const double* h, const double* x, double* y) {
  for (int n = 0; n < kCelpHalf; ++n) {
    y[n] = 0;
    for (int k = 0; k <= n; ++k) y[n] += h[n - k] * x[k];
  }
}

double Dot(const double* x, const double* y) {
  double sum = 0;
  for (int n = 0; n < kCelpHalf; ++n) sum += x[n] * y[n];
  return sum;
}

// Applies W(z) = A(z/g1) / A(z/g2) to e, with its memories (the most recent
// first) of input and output.
void Weight(const double* a, const double* e, std::array<double, kCelpOrder>& in,
            std::array<double, kCelpOrder>& out, double* weighted) {
  double numerator[kCelpOrder], denominator[kCelpOrder], g1 = 1, g2 = 1;
  for (int i = 0; i < kCelpOrder; ++i) {
    numerator[i] = a[i] * (g1 *= kWeightNumerator);
    denominator[i] = a[i] * (g2 *= kWeightDenominator);
  }
  for (int n = 0; n < kCelpHalf; ++n) {
    double y = e[n];
    for (int i = 0; i < kCelpOrder; ++i) y += numerator[i] * in[i] - denominator[i] * out[i];
    std::copy_backward(in.begin(), in.end() - 1, in.end());
    std::copy_backward(out.begin(), out.end() - 1, out.end());
    in[0] = e[n];
    out[0] = weighted[n] = y;
  }
}

}  // namespace

void CelpFrameEncoder::Encode(const int16_t* pcm, uint8_t* payload) {
  FrameParams p;
  double a[kCelpOrder], lsf[kCelpOrder];
  AnalyzeLpc(pcm, a);
  if (!LsfFromLpc(a, lsf)) std::copy(state_.lsf.begin(), state_.lsf.end(), lsf);
  QuantizeLsf(state_.lsf, lsf, p.lsf);
  double quantized[kCelpOrder];
  DecodeLsf(state_.lsf, p.lsf, quantized);

  for (int h = 0; h < kHalves; ++h) {
    HalfLpc(state_.lsf, quantized, h, a);
    const int16_t* input = pcm + h * kCelpHalf;
    // The target: what the weighted error would be with no excitation at all.
    double x[kCelpHalf], impulse[kCelpHalf] = {1}, h_response[kCelpHalf];
    {
      CelpState ringing = state_;
      double zero[kCelpHalf] = {}, decoded[kCelpHalf], e[kCelpHalf];
      Synthesize(ringing, a, zero, decoded);
      for (int n = 0; n < kCelpHalf; ++n) e[n] = input[n] - decoded[n];
      auto in = error_, out = weighted_error_;
      Weight(a, e, in, out, x);
      // The impulse response of W(z) / A(z), from rest.
      CelpState rest;
      rest.synthesis.fill(0);
      Synthesize(rest, a, impulse, decoded);
      in.fill(0);
      out.fill(0);
      Weight(a, decoded, in, out, h_response);
    }
    // The pitch lag whose repeat, filtered, best matches the target.
    const int first = h == 0 ? kCelpMinLag : std::max(kCelpMinLag, p.half[0].lag - kLagChangeBelow);
    const int last =
        h == 0 ? kCelpMaxLag : std::min(kCelpMaxLag, p.half[0].lag + kLagChangeBelow - 1);
    HalfParams& half = p.half[h];
    half.lag = first;
    double best_score = -1, y[kCelpHalf];
    for (int lag = first; lag <= last; ++lag) {
      double v[kCelpHalf], filtered[kCelpHalf];
      PitchVector(state_, lag, v);
      Convolve(h_response, v, filtered);
      const double match = Dot(x, filtered), energy = Dot(filtered, filtered);
      const double score = match > 0 && energy > 0 ? match * match / energy : 0;
      if (score > best_score) {
        best_score = score;
        half.lag = lag;
        std::copy(filtered, filtered + kCelpHalf, y);
      }
    }
    // The two pulses that best match what the pitch repeat leaves.
    const double yy = Dot(y, y);
    const double pitch = yy > 0 ? std::clamp(Dot(x, y) / yy, 0.0, 1.0) : 0;
    double rest[kCelpHalf], sharpened[kCelpHalf];
    for (int n = 0; n < kCelpHalf; ++n) rest[n] = x[n] - pitch * y[n];
    std::copy(h_response, h_response + kCelpHalf, sharpened);
    for (int n = half.lag; n < kCelpHalf; ++n)
      sharpened[n] += kPulseSharpening * sharpened[n - half.lag];
    double d[kCelpHalf], phi_diagonal[kCelpHalf];
    for (int i = 0; i < kCelpHalf; ++i) {
      d[i] = phi_diagonal[i] = 0;
      for (int n = i; n < kCelpHalf; ++n) {
        d[i] += rest[n] * sharpened[n - i];
        phi_diagonal[i] += sharpened[n - i] * sharpened[n - i];
      }
    }
    double best = -1;
    for (int even = 0; even < kTrackPositions; ++even) {
      const int i = 2 * even;
      for (int odd = 0; odd < kTrackPositions; ++odd) {
        const int j = 2 * odd + 1;
        const double si = d[i] < 0 ? -1 : 1, sj = d[j] < 0 ? -1 : 1;
        double cross = 0;
        for (int n = std::max(i, j); n < kCelpHalf; ++n)
          cross += sharpened[n - i] * sharpened[n - j];
        const double match = si * d[i] + sj * d[j];
        const double energy = phi_diagonal[i] + phi_diagonal[j] + 2 * si * sj * cross;
        if (energy > 0 && match * match / energy > best) {
          best = match * match / energy;
          half.pulses = (even * kTrackPositions + odd) * 4 + (si < 0 ? 2 : 0) + (sj < 0 ? 1 : 0);
        }
      }
    }
    // Both gains together, from their tables.
    double c[kCelpHalf], z[kCelpHalf];
    PulseVector(half.pulses, half.lag, c);
    Convolve(h_response, c, z);
    const double xy = Dot(x, y), xz = Dot(x, z), zz = Dot(z, z), yz = Dot(y, z);
    double least = std::numeric_limits<double>::infinity();
    for (int gp = 0; gp < (1 << kPitchGainBits); ++gp) {
      for (int gc = 0; gc < (1 << kPulseGainBits); ++gc) {
        const double p1 = kPitchGains[gp], p2 = PulseGain(gc);
        const double error =
            -2 * p1 * xy - 2 * p2 * xz + p1 * p1 * yy + p2 * p2 * zz + 2 * p1 * p2 * yz;
        if (error < least) {
          least = error;
          half.pitch_gain = gp;
          half.pulse_gain = gc;
        }
      }
    }
    // Keep what the decoder will have.
    double u[kCelpHalf], decoded[kCelpHalf], e[kCelpHalf], weighted[kCelpHalf];
    Excitation(state_, half, u);
    Synthesize(state_, a, u, decoded);
    for (int n = 0; n < kCelpHalf; ++n) e[n] = input[n] - decoded[n];
    Weight(a, e, error_, weighted_error_, weighted);
  }
  std::copy(quantized, quantized + kCelpOrder, state_.lsf.begin());
  Pack(p, payload);
}

}  // namespace vek
