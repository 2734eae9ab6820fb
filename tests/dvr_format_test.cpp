#include "dvr_format.h"

#include <gtest/gtest.h>

namespace ondavo {
namespace {

TEST(DvrFrameLengthTest, EveryFirstByteSelectsItsRow) {
  for (int b = 0; b < 256; ++b) {
    int expected = b < 0x40 ? 11 : b < 0x80 ? 18 : b < 0xC0 ? 24 : b < 0xE0 ? 4 : 2;
    EXPECT_EQ(DvrFrameLength(static_cast<uint8_t>(b)), expected) << "first byte " << b;
  }
}

TEST(DvrSampleRateTest, IsUnsignedLittleEndianAtBytes8And9) {
  uint8_t header[kDvrHeaderSize] = {};
  header[8] = 0x40;
  header[9] = 0x1F;
  EXPECT_EQ(DvrSampleRate(header), 8000u);
  header[8] = header[9] = 0xFF;
  EXPECT_EQ(DvrSampleRate(header), 65535u);
}

}  // namespace
}  // namespace ondavo
