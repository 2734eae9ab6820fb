// Speech frames through the real library: sizes, round trip quality, and a
// decoder that survives any bytes at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>
#include <vector>

#include "vek.h"

namespace {

// Decoded speech trails the input by the encoder's lookahead.
constexpr int kSpeechLag = 52;

std::vector<short> LoadSpeech() {
  static_assert(std::endian::native == std::endian::little, "speech.pcm is little-endian");
  std::ifstream file(VEK_TEST_DATA_DIR "/speech.pcm", std::ios::binary);
  const std::vector<char> bytes(std::istreambuf_iterator<char>(file), {});
  std::vector<short> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// The frame length by the first byte, as the decoder is meant to read it.
int ExpectedLength(unsigned char first) {
  if (first < 0x40) return 11;
  if (first < 0x80) return 18;
  if (first < 0xC0) return 24;
  return first < 0xE0 ? 4 : 2;
}

// Encodes every whole frame of `input` as `type` and decodes it again, each
// frame from a buffer of exactly its own length.
std::vector<short> RoundTrip(const std::vector<short>& input, int type) {
  vVek_Init_Dsp_Regs();
  vVek_Init_Encoder();
  vVek_Init_Decoder();
  std::vector<short> output;
  for (size_t start = 0; start + kVekFrameSamples <= input.size(); start += kVekFrameSamples) {
    unsigned char frame[kVekMaxFrameBytes];
    EXPECT_EQ(vVek_Encode_Frame(&input[start], type, frame), type);
    std::vector<unsigned char> exact(frame, frame + type);
    short pcm[kVekFrameSamples];
    vVek_Decode(pcm, exact.data());
    output.insert(output.end(), pcm, pcm + kVekFrameSamples);
  }
  return output;
}

// Mean SNR over the 20 ms segments where the input is louder than -40 dBFS,
// each segment's SNR limited to [-10, 35] dB as usual.
double SegmentalSnrDb(const std::vector<short>& input, const std::vector<short>& output, int lag) {
  double total = 0;
  int segments = 0;
  for (size_t start = 0; start + kVekFrameSamples + lag <= output.size();
       start += kVekFrameSamples) {
    double signal = 0, noise = 0;
    for (size_t i = start; i < start + kVekFrameSamples; ++i) {
      const double miss = static_cast<double>(input[i]) - output[i + lag];
      signal += static_cast<double>(input[i]) * input[i];
      noise += miss * miss;
    }
    if (signal / int{kVekFrameSamples} < 328.0 * 328.0) continue;
    total += std::clamp(10 * std::log10(signal / std::max(noise, 1.0)), -10.0, 35.0);
    ++segments;
  }
  return segments ? total / segments : -100;
}

// Correlation of per-frame log energies: whether the loudness contour survives.
double EnvelopeCorrelation(const std::vector<short>& input, const std::vector<short>& output,
                           int lag) {
  std::vector<double> a, b;
  for (size_t start = 0; start + kVekFrameSamples + lag <= output.size();
       start += kVekFrameSamples) {
    double ea = 1, eb = 1;
    for (size_t i = start; i < start + kVekFrameSamples; ++i) {
      ea += static_cast<double>(input[i]) * input[i];
      eb += static_cast<double>(output[i + lag]) * output[i + lag];
    }
    a.push_back(std::log10(ea));
    b.push_back(std::log10(eb));
  }
  const double mean_a = std::accumulate(a.begin(), a.end(), 0.0) / a.size();
  const double mean_b = std::accumulate(b.begin(), b.end(), 0.0) / b.size();
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    ab += (a[i] - mean_a) * (b[i] - mean_b);
    aa += (a[i] - mean_a) * (a[i] - mean_a);
    bb += (b[i] - mean_b) * (b[i] - mean_b);
  }
  return ab / std::sqrt(aa * bb);
}

int BestLag(const std::vector<short>& input, const std::vector<short>& output) {
  int best_lag = 0;
  double best = -1e300;
  for (int lag = 0; lag < 200; ++lag) {
    double sum = 0;
    for (size_t i = 0; i + lag < output.size(); ++i)
      sum += static_cast<double>(input[i]) * output[i + lag];
    if (sum > best) {
      best = sum;
      best_lag = lag;
    }
  }
  return best_lag;
}

TEST(VekFrameTest, DecodeAndEncodeWorkBeforeAnyInit) {
  // ctest runs every test in a fresh process, so these are the first calls.
  std::vector<unsigned char> frame(24, 0x55);
  frame[0] = 0x80;
  short pcm[kVekFrameSamples];
  vVek_Decode(pcm, frame.data());
  unsigned char coded[kVekMaxFrameBytes];
  EXPECT_EQ(vVek_Encode_Frame(pcm, kVekFrameHigh, coded), kVekFrameHigh);
}

TEST(VekFrameTest, EveryTypeGivesItsLengthAndTypeBits) {
  const std::vector<short> speech = LoadSpeech();
  ASSERT_GE(speech.size(), 20u * kVekFrameSamples);
  vVek_Init_Encoder();
  // Types change from frame to frame on one encoder, as in vbr files.
  const int types[] = {kVekFrameHigh,    kVekFrameLow, kVekFrameMid,  kVekFrameNoise,
                       kVekFrameSilence, kVekFrameMid, kVekFrameHigh, kVekFrameLow};
  for (int i = 0; i < 200; ++i) {
    const int type = types[i % std::size(types)];
    const short* pcm = &speech[(i % 20 + 5) * kVekFrameSamples];
    std::array<unsigned char, kVekMaxFrameBytes> frame{};
    ASSERT_EQ(vVek_Encode_Frame(pcm, type, frame.data()), type) << "frame " << i;
    EXPECT_EQ(ExpectedLength(frame[0]), type) << "frame " << i;
  }
}

TEST(VekFrameTest, UnknownTypeIsRefused) {
  const short pcm[kVekFrameSamples] = {};
  unsigned char frame[kVekMaxFrameBytes];
  for (int type : {-1, 0, 1, 3, 12, 23, 25, 160}) {
    EXPECT_EQ(vVek_Encode_Frame(pcm, type, frame), 0) << type;
  }
}

TEST(VekFrameTest, SpeechLagsByTheLookahead) {
  const std::vector<short> speech = LoadSpeech();
  EXPECT_NEAR(BestLag(speech, RoundTrip(speech, kVekFrameHigh)), kSpeechLag, 3);
}

struct ModeQuality {
  int type;
  double min_segmental_snr_db;
  double min_envelope_correlation;
};

void PrintTo(const ModeQuality& quality, std::ostream* out) {
  *out << quality.type << "-byte frames";
}

class VekSpeechRoundTrip : public ::testing::TestWithParam<ModeQuality> {};

TEST_P(VekSpeechRoundTrip, KeepsSpeech) {
  const std::vector<short> speech = LoadSpeech();
  const std::vector<short> decoded = RoundTrip(speech, GetParam().type);
  ASSERT_EQ(decoded.size(), speech.size() / kVekFrameSamples * kVekFrameSamples);
  const double snr = SegmentalSnrDb(speech, decoded, kSpeechLag);
  const double envelope = EnvelopeCorrelation(speech, decoded, kSpeechLag);
  RecordProperty("segmental_snr_db", std::to_string(snr));
  std::printf("type %d: segmental SNR %.2f dB, envelope correlation %.3f\n", GetParam().type, snr,
              envelope);
  EXPECT_GE(snr, GetParam().min_segmental_snr_db);
  EXPECT_GE(envelope, GetParam().min_envelope_correlation);
}

// Measured with libopus 1.3.1: 5.8, 2.9 and -0.4 dB; 0.96, 0.93 and 0.88.
// The 11-byte packets are too small for the speech coder inside libopus, so
// it uses its transform coder there, which keeps the envelope but not the
// waveform. Margins allow for other libopus versions (float, not bit-exact).
INSTANTIATE_TEST_SUITE_P(AllSpeechSizes, VekSpeechRoundTrip,
                         ::testing::Values(ModeQuality{kVekFrameHigh, 3.0, 0.9},
                                           ModeQuality{kVekFrameMid, 1.0, 0.85},
                                           ModeQuality{kVekFrameLow, -3.0, 0.75}),
                         [](const auto& info) {
                           return "Bytes" + std::to_string(info.param.type);
                         });

// The decoder must take any bytes: each frame sits at the very end of a buffer
// of exactly its length (so AddressSanitizer sees an over-read), and the
// samples sit between canaries (so a write past 160 shows).
TEST(VekFrameTest, AnyBytesDecodeToExactlyOneFrame) {
  constexpr short kCanary = 0x5A5A;
  constexpr int kGuard = 16;
  std::mt19937 random(20240601);
  for (int payload = 0; payload < 12; ++payload) {
    for (int first = 0; first < 256; ++first) {
      const int length = ExpectedLength(static_cast<unsigned char>(first));
      std::vector<unsigned char> frame(length);
      frame[0] = static_cast<unsigned char>(first);
      for (int i = 1; i < length; ++i) {
        frame[i] = payload == 0 ? 0x00 : payload == 1 ? 0xFF : static_cast<unsigned char>(random());
      }
      std::array<short, kVekFrameSamples + 2 * kGuard> guarded;
      guarded.fill(kCanary);
      vVek_Decode(guarded.data() + kGuard, frame.data());
      for (int i = 0; i < kGuard; ++i) {
        ASSERT_EQ(guarded[i], kCanary) << "first byte " << first;
        ASSERT_EQ(guarded[kGuard + kVekFrameSamples + i], kCanary) << "first byte " << first;
      }
    }
  }
}

}  // namespace
