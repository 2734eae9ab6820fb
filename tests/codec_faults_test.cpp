// The reference codec against what vek_*_test.cpp leave out: comfort noise
// at the coefficients that push its filter hardest, whole streams of random
// frames decoded twice, frames read in place at every alignment, and the
// frame encoder on input no microphone gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "vek.h"

namespace {

int FrameLength(unsigned char first) {
  if (first < 0x40) return 11;
  if (first < 0x80) return 18;
  if (first < 0xC0) return 24;
  return first < 0xE0 ? 4 : 2;
}

// A noise frame: 110, then 6 bits of level, reflection codes of 6, 6, 4 and
// 4 bits, and 3 spare bits.
std::vector<unsigned char> NoiseFrame(int level, int k1, int k2, int k3, int k4, int spare = 0) {
  const uint32_t word = 0xC0000000u | uint32_t(level) << 23 | uint32_t(k1) << 17 |
                        uint32_t(k2) << 11 | uint32_t(k3) << 7 | uint32_t(k4) << 3 |
                        uint32_t(spare);
  return {static_cast<unsigned char>(word >> 24), static_cast<unsigned char>(word >> 16),
          static_cast<unsigned char>(word >> 8), static_cast<unsigned char>(word)};
}

std::vector<short> Decode(std::vector<unsigned char> frame) {
  std::vector<short> pcm(kVekFrameSamples);
  vVek_Decode(pcm.data(), frame.data());
  return pcm;
}

double Rms(const std::vector<short>& pcm) {
  double energy = 0;
  for (short s : pcm) energy += static_cast<double>(s) * s;
  return std::sqrt(energy / pcm.size());
}

// Coefficients at both ends of every stage, at the loudest and the softest
// level, for long enough that a filter that runs away would reach its limits
// (UndefinedBehaviorSanitizer stops any overflow on the way). After it, an
// ordinary noise frame must sound as it does after a reset: no lasting harm.
TEST(VekHostileNoiseTest, ExtremeCoefficientsLeaveNoLastingHarm) {
  const std::vector<unsigned char> ordinary = NoiseFrame(24, 32, 32, 8, 8);
  auto ordinary_rms = [&] {
    std::vector<short> pcm;
    for (int i = 0; i < 10; ++i) {
      std::vector<short> frame = Decode(ordinary);
      pcm.insert(pcm.end(), frame.begin(), frame.end());
    }
    return Rms(pcm);
  };
  vVek_Init_Decoder();
  const double after_reset = ordinary_rms();
  ASSERT_GT(after_reset, 0);

  for (int ends = 0; ends < 16; ++ends) {
    const int k1 = ends & 1 ? 63 : 0, k2 = ends & 2 ? 63 : 0;
    const int k3 = ends & 4 ? 15 : 0, k4 = ends & 8 ? 15 : 0;
    for (int level : {1, 63}) {
      SCOPED_TRACE("level " + std::to_string(level) + ", codes " + std::to_string(k1) + " " +
                   std::to_string(k2) + " " + std::to_string(k3) + " " + std::to_string(k4));
      vVek_Init_Decoder();
      for (int i = 0; i < 300; ++i) Decode(NoiseFrame(level, k1, k2, k3, k4, 7));
      // The filter's memory of the extremes fades within a few frames.
      for (int i = 0; i < 10; ++i) Decode(ordinary);
      EXPECT_NEAR(20 * std::log10(ordinary_rms() / after_reset), 0, 2);
    }
  }
}

// A random stream of every frame type, decoded twice after a reset into
// buffers filled differently beforehand: the same samples both times, so
// every sample is written and nothing but the frames and the reset counts.
TEST(VekHostileStreamTest, RandomStreamsDecodeAlikeAfterAReset) {
  std::mt19937 random(31);
  for (int stream = 0; stream < 20; ++stream) {
    std::vector<std::vector<unsigned char>> frames;
    for (int i = 0; i < 400; ++i) {
      std::vector<unsigned char> frame(1, static_cast<unsigned char>(random()));
      frame.resize(FrameLength(frame[0]));
      for (size_t k = 1; k < frame.size(); ++k) frame[k] = static_cast<unsigned char>(random());
      frames.push_back(frame);
    }
    auto decode_all = [&](short fill) {
      vVek_Init_Dsp_Regs();
      vVek_Init_Decoder();
      std::vector<short> out;
      for (auto& frame : frames) {
        std::vector<short> pcm(kVekFrameSamples, fill);
        vVek_Decode(pcm.data(), frame.data());
        out.insert(out.end(), pcm.begin(), pcm.end());
      }
      return out;
    };
    ASSERT_EQ(decode_all(0x1234), decode_all(-0x4321)) << "stream " << stream;
  }
}

// Frames decoded where they lie in one block, as a reader of a mapped file
// would pass them: at every alignment, the last one flush with the block's
// end, so AddressSanitizer sees a read past it.
TEST(VekHostileStreamTest, FramesDecodeInPlaceAtAnyAlignment) {
  std::mt19937 random(32);
  for (int start = 0; start < 8; ++start) {
    std::vector<unsigned char> bytes(start, 0);
    while (bytes.size() < 4000) {
      const auto first = static_cast<unsigned char>(random());
      bytes.push_back(first);
      for (int k = 1; k < FrameLength(first); ++k)
        bytes.push_back(static_cast<unsigned char>(random()));
    }
    // A copy on the heap of exactly the stream's length.
    std::vector<unsigned char> block(bytes.begin(), bytes.end());
    vVek_Init_Decoder();
    size_t at = start;
    short pcm[kVekFrameSamples];
    while (at < bytes.size()) {
      vVek_Decode(pcm, block.data() + at);
      at += FrameLength(block[at]);
    }
    EXPECT_EQ(at, bytes.size());
  }
}

// Blocks no microphone gives: full-scale squares and impulses, DC at both
// rails, full-range noise. Every frame type keeps its exact length and type
// bits, and what it gives decodes.
TEST(VekHostileEncodeTest, ExtremeInputEncodesToEveryType) {
  std::mt19937 random(33);
  std::vector<std::vector<short>> blocks;
  blocks.emplace_back(kVekFrameSamples, 32767);
  blocks.emplace_back(kVekFrameSamples, -32768);
  std::vector<short> square, impulses(kVekFrameSamples, 0), noise;
  for (int i = 0; i < kVekFrameSamples; ++i) {
    square.push_back(i % 2 ? -32768 : 32767);
    noise.push_back(static_cast<short>(random()));
  }
  for (int i = 0; i < kVekFrameSamples; i += 40) impulses[i] = -32768;
  blocks.push_back(square);
  blocks.push_back(impulses);
  blocks.push_back(noise);

  const int types[] = {kVekFrameLow, kVekFrameMid, kVekFrameHigh, kVekFrameNoise, kVekFrameSilence};
  vVek_Init_Dsp_Regs();
  for (int round = 0; round < 10; ++round) {
    for (size_t b = 0; b < blocks.size(); ++b) {
      for (int type : types) {
        SCOPED_TRACE("block " + std::to_string(b) + ", type " + std::to_string(type));
        unsigned char frame[kVekMaxFrameBytes];
        ASSERT_EQ(vVek_Encode_Frame(blocks[b].data(), type, frame), type);
        ASSERT_EQ(FrameLength(frame[0]), type);
        std::vector<unsigned char> exact(frame, frame + type);
        Decode(exact);
      }
    }
  }
}

}  // namespace
