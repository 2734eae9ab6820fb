// Records (vVek_Encode / vVek_Decode_Record): quality on speech, repeatable
// output, writes that stay in bounds, and no overflow on extreme input.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "vek.h"

namespace {

std::vector<short> LoadSpeech() {
  static_assert(std::endian::native == std::endian::little, "speech.pcm is little-endian");
  std::ifstream file(VEK_TEST_DATA_DIR "/speech.pcm", std::ios::binary);
  const std::vector<char> bytes(std::istreambuf_iterator<char>(file), {});
  std::vector<short> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

using Record = std::array<unsigned char, kVekRecordBytes>;

std::vector<Record> EncodeRecords(std::vector<short> samples) {
  samples.resize(samples.size() / kVekBlockSamples * kVekBlockSamples);
  vVek_Init_Encoder();
  std::vector<Record> records;
  for (size_t start = 0; start < samples.size(); start += kVekBlockSamples) {
    unsigned char coded[kVekEncodeBufferBytes];
    vVek_Encode(&samples[start], coded);
    Record record;
    std::copy(coded, coded + kVekRecordBytes, record.begin());
    records.push_back(record);
  }
  return records;
}

std::vector<short> DecodeRecords(const std::vector<Record>& records) {
  vVek_Init_Decoder();
  std::vector<short> samples;
  for (const Record& record : records) {
    short pcm[kVekBlockSamples];
    vVek_Decode_Record(record.data(), pcm);
    samples.insert(samples.end(), pcm, pcm + kVekBlockSamples);
  }
  return samples;
}

double SnrDb(const std::vector<short>& input, const std::vector<short>& output) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < output.size(); ++i) {
    const double miss = static_cast<double>(input[i]) - output[i];
    signal += static_cast<double>(input[i]) * input[i];
    noise += miss * miss;
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

TEST(VekAdpcmTest, SpeechComesBackAtTenDbOrBetter) {
  const std::vector<short> speech = LoadSpeech();
  const std::vector<short> decoded = DecodeRecords(EncodeRecords(speech));
  ASSERT_EQ(decoded.size(), speech.size() / kVekBlockSamples * kVekBlockSamples);
  const double snr = SnrDb(speech, decoded);
  std::printf("record SNR on speech: %.2f dB\n", snr);
  EXPECT_GE(snr, 10.0);
}

TEST(VekAdpcmTest, EncoderResetGivesTheSameRecords) {
  const std::vector<short> speech = LoadSpeech();
  EXPECT_EQ(EncodeRecords(speech), EncodeRecords(speech));
}

// The predictor history runs on across records: decoding the second half of
// a stream from a reset decoder differs from decoding it in sequence.
TEST(VekAdpcmTest, DecoderKeepsHistoryAcrossRecords) {
  const std::vector<Record> records = EncodeRecords(LoadSpeech());
  const std::vector<short> whole = DecodeRecords(records);
  const std::vector<Record> tail(records.begin() + records.size() / 2, records.end());
  const std::vector<short> tail_alone = DecodeRecords(tail);
  const std::vector<short> tail_in_sequence(whole.end() - tail_alone.size(), whole.end());
  EXPECT_NE(tail_alone, tail_in_sequence);
  EXPECT_EQ(DecodeRecords(tail), tail_alone);
}

TEST(VekAdpcmTest, WritesNothingPastTheRecord) {
  constexpr unsigned char kCanary = 0xA5;
  const std::vector<short> speech = LoadSpeech();
  vVek_Init_Encoder();
  for (size_t start = 0; start + kVekBlockSamples <= speech.size(); start += kVekBlockSamples) {
    std::array<unsigned char, 32> coded;
    coded.fill(kCanary);
    std::array<short, kVekBlockSamples> block;
    std::copy(&speech[start], &speech[start] + kVekBlockSamples, block.begin());
    vVek_Encode(block.data(), coded.data());
    for (size_t i = kVekRecordBytes; i < coded.size(); ++i) {
      ASSERT_EQ(coded[i], kCanary) << "byte " << i << " of block at " << start;
    }
  }
}

TEST(VekAdpcmTest, DecodesAnyRecordIntoExactly32Samples) {
  constexpr short kCanary = 0x3C3C;
  std::mt19937 random(5);
  vVek_Init_Decoder();
  for (int i = 0; i < 5000; ++i) {
    Record record;
    for (auto& byte : record) byte = static_cast<unsigned char>(random());
    std::array<short, kVekBlockSamples + 8> pcm;
    pcm.fill(kCanary);
    vVek_Decode_Record(record.data(), pcm.data());
    for (size_t j = kVekBlockSamples; j < pcm.size(); ++j) ASSERT_EQ(pcm[j], kCanary);
  }
}

// Full-scale input drives the predictors past 16 bits; the decoder must clamp
// rather than wrap (a wrap would flip the sign of whole stretches).
TEST(VekAdpcmTest, ExtremeInputDoesNotWrap) {
  constexpr size_t kSamples = 64 * kVekBlockSamples;
  for (short level : {short{32767}, short{-32768}}) {
    const std::vector<short> dc(kSamples, level);
    const std::vector<short> decoded = DecodeRecords(EncodeRecords(dc));
    for (size_t i = 4 * kVekBlockSamples; i < decoded.size(); ++i) {
      ASSERT_LT(std::abs(decoded[i] - level), 4096) << "DC " << level << " at " << i;
    }
  }

  std::vector<short> square;
  for (size_t i = 0; i < kSamples; ++i) square.push_back(i / 8 % 2 ? -32768 : 32767);
  const std::vector<short> decoded_square = DecodeRecords(EncodeRecords(square));
  EXPECT_GE(SnrDb(square, decoded_square), 3.0);
  size_t agreeing_signs = 0;
  for (size_t i = 0; i < kSamples; ++i)
    agreeing_signs += (decoded_square[i] < 0) == (square[i] < 0);
  EXPECT_GE(agreeing_signs, kSamples * 9 / 10);

  for (short sample : DecodeRecords(EncodeRecords(std::vector<short>(kSamples, 0)))) {
    ASSERT_LE(std::abs(sample), 2);
  }
}

}  // namespace
