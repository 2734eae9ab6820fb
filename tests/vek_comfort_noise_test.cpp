// Comfort-noise and silence frames: level and shape follow the input, the
// noise repeats after a decoder reset, and silence is silent.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "vek.h"

namespace {

// Noise with a given RMS, white or tilted by a one-pole filter (positive
// `pole` for low-pass, negative for high-pass). Own generator, so the test
// does not depend on the library's.
std::vector<short> MakeNoise(int frames, double rms, double pole, uint32_t seed) {
  std::vector<double> raw(frames * kVekFrameSamples);
  double previous = 0, energy = 0;
  for (double& sample : raw) {
    seed = seed * 22695477u + 1u;
    const double white = static_cast<int>(seed >> 8 & 0xFFFF) - 32768.0;
    sample = previous = white + pole * previous;
    energy += sample * sample;
  }
  const double gain = rms / std::sqrt(energy / raw.size());
  std::vector<short> noise;
  for (double sample : raw) noise.push_back(static_cast<short>(std::lround(sample * gain)));
  return noise;
}

std::vector<short> NoiseRoundTrip(const std::vector<short>& input) {
  vVek_Init_Dsp_Regs();
  std::vector<short> output;
  for (size_t start = 0; start + kVekFrameSamples <= input.size(); start += kVekFrameSamples) {
    unsigned char coded[kVekMaxFrameBytes];
    EXPECT_EQ(vVek_Encode_Frame(&input[start], kVekFrameNoise, coded), kVekFrameNoise);
    EXPECT_EQ(coded[0] & 0xE0, 0xC0);
    std::vector<unsigned char> frame(coded, coded + kVekFrameNoise);
    short pcm[kVekFrameSamples];
    vVek_Decode(pcm, frame.data());
    output.insert(output.end(), pcm, pcm + kVekFrameSamples);
  }
  return output;
}

double Rms(const std::vector<short>& samples) {
  double energy = 0;
  for (short sample : samples) energy += static_cast<double>(sample) * sample;
  return std::sqrt(energy / samples.size());
}

double NormalisedLagOneCorrelation(const std::vector<short>& samples) {
  double lag0 = 0, lag1 = 0;
  for (size_t i = 1; i < samples.size(); ++i) {
    lag0 += static_cast<double>(samples[i]) * samples[i];
    lag1 += static_cast<double>(samples[i]) * samples[i - 1];
  }
  return lag1 / lag0;
}

TEST(VekComfortNoiseTest, LevelFollowsTheInput) {
  for (double pole : {0.0, 0.9, -0.7}) {
    for (double dbfs : {-70.0, -60.0, -45.0, -30.0, -20.0}) {
      const double rms = 32768 * std::pow(10, dbfs / 20);
      const std::vector<short> decoded = NoiseRoundTrip(MakeNoise(50, rms, pole, 99));
      EXPECT_NEAR(20 * std::log10(Rms(decoded) / rms), 0, 1.5)
          << "pole " << pole << ", " << dbfs << " dBFS";
    }
  }
}

TEST(VekComfortNoiseTest, ShapeFollowsTheInput) {
  const double low = NormalisedLagOneCorrelation(NoiseRoundTrip(MakeNoise(50, 1000, 0.9, 1)));
  const double white = NormalisedLagOneCorrelation(NoiseRoundTrip(MakeNoise(50, 1000, 0.0, 2)));
  const double high = NormalisedLagOneCorrelation(NoiseRoundTrip(MakeNoise(50, 1000, -0.7, 3)));
  EXPECT_GT(low, 0.75);
  EXPECT_NEAR(white, 0, 0.2);
  EXPECT_LT(high, -0.45);
}

TEST(VekComfortNoiseTest, DecoderResetRepeatsTheNoise) {
  const std::vector<unsigned char> frame = {0xC0 | 0x0F, 0x12, 0x34, 0x50};
  auto decode_ten = [&] {
    std::vector<short> out;
    short pcm[kVekFrameSamples];
    for (int i = 0; i < 10; ++i) {
      vVek_Decode(pcm, const_cast<unsigned char*>(frame.data()));
      out.insert(out.end(), pcm, pcm + kVekFrameSamples);
    }
    return out;
  };
  vVek_Init_Decoder();
  const std::vector<short> first = decode_ten();
  const std::vector<short> second_without_reset = decode_ten();
  vVek_Init_Decoder();
  const std::vector<short> after_reset = decode_ten();
  EXPECT_GT(Rms(first), 10);
  EXPECT_EQ(first, after_reset);
  EXPECT_NE(first, second_without_reset);
}

// Level 0 means silence, so noise frames over digital silence stay silent.
TEST(VekComfortNoiseTest, DigitalSilenceStaysSilent) {
  for (short sample : NoiseRoundTrip(std::vector<short>(20 * kVekFrameSamples, 0))) {
    ASSERT_EQ(sample, 0);
  }
}

TEST(VekSilenceTest, EncodesToTwoBytes) {
  const std::vector<short> speechy = MakeNoise(1, 5000, 0.5, 4);
  unsigned char frame[kVekMaxFrameBytes];
  ASSERT_EQ(vVek_Encode_Frame(speechy.data(), kVekFrameSilence, frame), kVekFrameSilence);
  EXPECT_EQ(frame[0] & 0xE0, 0xE0);
}

TEST(VekSilenceTest, DecodesToZerosWhateverCameBefore) {
  vVek_Init_Decoder();
  short pcm[kVekFrameSamples];
  std::vector<unsigned char> noise = {0xDF, 0xFF, 0xFF, 0xFF};
  vVek_Decode(pcm, noise.data());
  for (int low_bits = 0; low_bits < 32; ++low_bits) {
    std::vector<unsigned char> silence = {static_cast<unsigned char>(0xE0 | low_bits), 0xFF};
    std::fill(std::begin(pcm), std::end(pcm), 1234);
    vVek_Decode(pcm, silence.data());
    for (short sample : pcm) ASSERT_EQ(sample, 0) << "first byte " << (0xE0 | low_bits);
  }
}

}  // namespace
