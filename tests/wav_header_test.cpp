#include "wav_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "test_support.h"

namespace ondavo {
namespace {

using testing::Le16;
using testing::Le32;

std::vector<uint8_t> Bytes() {
  const auto* p = reinterpret_cast<const uint8_t*>(&g_WavHeader);
  return {p, p + sizeof g_WavHeader};
}

TEST(WavHeaderTest, LaysOutEveryFieldLittleEndian) {
  InitWavHeader();
  SetWavSampleRate(8000);
  SetWavSizes(1004);  // three frames
  std::vector<uint8_t> b = Bytes();
  ASSERT_EQ(b.size(), 44u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(Le32(b, 4), 996u);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 16, b.begin() + 24),
            (std::vector<uint8_t>{16, 0, 0, 0, 1, 0, 1, 0}));
  EXPECT_EQ(Le32(b, 24), 8000u);
  EXPECT_EQ(Le32(b, 28), 16000u);
  EXPECT_EQ(Le16(b, 32), 2u);
  EXPECT_EQ(Le16(b, 34), 16u);
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  EXPECT_EQ(Le32(b, 40), 960u);
}

TEST(WavHeaderTest, EachOperationKeepsTheOthersFields) {
  InitWavHeader();
  SetWavSampleRate(11025);
  SetWavSizes(44);
  EXPECT_EQ(Le32(Bytes(), 4), 36u);
  EXPECT_EQ(Le32(Bytes(), 40), 0u);

  // A new decode's provisional header still carries the last sizes.
  InitWavHeader();
  SetWavSampleRate(0);
  EXPECT_EQ(Le32(Bytes(), 24), 0u);
  EXPECT_EQ(Le32(Bytes(), 28), 0u);
  EXPECT_EQ(Le32(Bytes(), 40), 0u);
  SetWavSizes(0xFFFFFFFFu);
  InitWavHeader();
  EXPECT_EQ(Le32(Bytes(), 4), 0xFFFFFFF7u);
}

}  // namespace
}  // namespace ondavo
