// Levinson's recursion, which both the comfort-noise analysis and the low
// coder use to find a frame's spectral envelope.
#ifndef ONDAVO_CODEC_LEVINSON_H_
#define ONDAVO_CODEC_LEVINSON_H_

#include <algorithm>

namespace vek {

// From the autocorrelations r[0..kOrder] (the caller raises r[0] a touch,
// which keeps the recursion well conditioned on nearly periodic input): the
// predictor x[n] ~ p[0] x[n-1] + ... + p[kOrder-1] x[n-kOrder] of least error,
// and each stage's reflection coefficient k[0..kOrder-1], held inside
// +-0.9999 so that the predictor's synthesis filter stays stable.
template <int kOrder>
void Levinson(const double* r, double* p, double* k) {
  std::fill(p, p + kOrder, 0.0);
  double error = r[0];
  for (int i = 0; i < kOrder; ++i) {
    double residual = r[i + 1];
    for (int j = 0; j < i; ++j) residual -= p[j] * r[i - j];
    k[i] = std::clamp(residual / error, -0.9999, 0.9999);
    double updated[kOrder];
    for (int j = 0; j < i; ++j) updated[j] = p[j] - k[i] * p[i - 1 - j];
    updated[i] = k[i];
    std::copy(updated, updated + i + 1, p);
    error *= 1 - k[i] * k[i];
  }
}

}  // namespace vek

#endif  // ONDAVO_CODEC_LEVINSON_H_
