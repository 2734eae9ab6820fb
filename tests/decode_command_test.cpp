// The decode command, byte for byte, against the recording codec.
#include "decode_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "dvr_format.h"
#include "recording_codec.h"
#include "test_support.h"

namespace ondavo {
namespace {

using testing::DvrFile;
using testing::Le32;
using testing::ReadBytes;
using testing::RecordingCodec;
using testing::RecordingHost;
using testing::TempDir;
using testing::WriteBytes;
namespace fs = std::filesystem;

// n frames of the given first byte, each filled with its own index.
std::vector<uint8_t> Frames(int n, uint8_t first) {
  std::vector<uint8_t> body;
  for (int i = 0; i < n; ++i) {
    body.push_back(first);
    for (int k = 1; k < DvrFrameLength(first); ++k) body.push_back(static_cast<uint8_t>(i));
  }
  return body;
}

class DecodeCommandTest : public ::testing::Test {
 protected:
  // Decodes `bytes` written as dir/a.DVR; frame counts go nowhere.
  int Decode(const std::vector<uint8_t>& bytes, RecordingHost* host = nullptr) {
    WriteBytes(input_, bytes);
    RecordingHost own(input_);
    ConversionOptions options;
    options.frame_counts = nullptr;
    int result = DecodeCommand(host ? *host : own, options);
    if (!host) messages_ = own.messages;
    return result;
  }

  TempDir dir_;
  std::string input_ = dir_ / "a.DVR";
  std::string output_ = dir_ / "a.WAV";
  std::vector<testing::Message> messages_;
};

TEST_F(DecodeCommandTest, NCompleteFramesGiveNDecodedFrames) {
  RecordingCodec codec;
  ASSERT_EQ(Decode(DvrFile(8000, Frames(3, 0x80))), 0);
  std::vector<uint8_t> wav = ReadBytes(output_);
  ASSERT_EQ(wav.size(), 44u + 3 * 320);
  EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
  EXPECT_EQ(Le32(wav, 40), 3u * 320);
  EXPECT_EQ(Le32(wav, 24), 8000u);
  EXPECT_EQ(Le32(wav, 28), 16000u);
  // The codec's samples, little-endian, frame after frame.
  for (int f = 0; f < 3; ++f) {
    for (int i = 0; i < 160; ++i) {
      size_t at = 44 + f * 320 + i * 2;
      ASSERT_EQ(wav[at] | wav[at + 1] << 8, 0x8000 + i) << "frame " << f << " sample " << i;
    }
  }
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, "Finish Vek Coder Decode.\nCreate of file " + output_ + " ");
  EXPECT_EQ(messages_[0].kind, MessageKind::kFinished);
}

TEST_F(DecodeCommandTest, CallsTheCodecInOrderWithEachFrameWhole) {
  RecordingCodec codec;
  // 24, 2, 2, 11 and 4 bytes, back to back.
  std::vector<uint8_t> body = {0x80};
  for (int i = 1; i < 24; ++i) body.push_back(static_cast<uint8_t>(i));
  body.insert(body.end(), {0xE1, 0xAA, 0xFF, 0xBB, 0x3F});
  for (int i = 1; i < 11; ++i) body.push_back(static_cast<uint8_t>(0x10 + i));
  body.insert(body.end(), {0xC5, 1, 2, 3});
  ASSERT_EQ(Decode(DvrFile(8000, body)), 0);
  EXPECT_EQ(codec.calls(), (std::vector<std::string>{
                               "dsp", "dec", "D800102030405060708090a0b0c0d0e0f1011121314151617",
                               "De1aa", "Dffbb", "D3f1112131415161718191a", "Dc5010203"}));
}

const char* g_probe_output = nullptr;
bool g_output_existed_at_first_call = false;
bool g_probed = false;
void ProbeOutput() {
  if (g_probed) return;
  g_probed = true;
  g_output_existed_at_first_call = fs::exists(g_probe_output);
}

TEST_F(DecodeCommandTest, TouchesTheCodecOnlyOnceBothFilesAreOpen) {
  g_probe_output = output_.c_str();
  RecordingCodec codec(false, ProbeOutput);
  ASSERT_EQ(Decode(DvrFile(8000, Frames(1, 0xE0))), 0);
  EXPECT_TRUE(g_output_existed_at_first_call);
}

TEST_F(DecodeCommandTest, DropsALastFrameCutShort) {
  RecordingCodec codec;
  std::vector<uint8_t> body = Frames(2, 0x40);
  body.insert(body.end(), {0x80, 1, 2, 3});  // 4 of 24 bytes
  ASSERT_EQ(Decode(DvrFile(8000, body)), 0);
  EXPECT_EQ(ReadBytes(output_).size(), 44u + 2 * 320);
  EXPECT_EQ(codec.calls().size(), 4u);
}

TEST_F(DecodeCommandTest, HeaderOnlyFileGivesAnEmptyWav) {
  RecordingCodec codec;
  ASSERT_EQ(Decode(DvrFile(16000, {})), 0);
  std::vector<uint8_t> wav = ReadBytes(output_);
  ASSERT_EQ(wav.size(), 44u);
  EXPECT_EQ(Le32(wav, 4), 36u);
  EXPECT_EQ(Le32(wav, 40), 0u);
  EXPECT_EQ(Le32(wav, 24), 16000u);
  EXPECT_EQ(codec.calls(), (std::vector<std::string>{"dsp", "dec"}));
}

TEST_F(DecodeCommandTest, FileShorterThanItsHeaderGivesAnEmptyWav) {
  RecordingCodec codec;
  ASSERT_EQ(Decode({1, 2, 3, 4, 5}), 0);
  std::vector<uint8_t> wav = ReadBytes(output_);
  ASSERT_EQ(wav.size(), 44u);
  EXPECT_EQ(Le32(wav, 24), 0u);  // the rate bytes were never read
  EXPECT_EQ(Le32(wav, 40), 0u);
}

TEST_F(DecodeCommandTest, OnlyTheRateBytesOfTheHeaderMatter) {
  RecordingCodec codec;
  std::vector<uint8_t> file = DvrFile(8000, Frames(2, 0x00));
  ASSERT_EQ(Decode(file), 0);
  std::vector<uint8_t> first = ReadBytes(output_);
  for (int i : {0, 7, 10, 13}) file[i] ^= 0x5A;
  ASSERT_EQ(Decode(file), 0);
  EXPECT_EQ(ReadBytes(output_), first);
}

TEST_F(DecodeCommandTest, ProgressRunsFromZeroTo100WithinRange) {
  RecordingCodec codec;
  // 100 frames of 24 bytes: input size 2414.
  RecordingHost host(input_);
  ASSERT_EQ(Decode(DvrFile(8000, Frames(100, 0x80)), &host), 0);
  ASSERT_FALSE(host.positions.empty());
  EXPECT_EQ(host.positions.front(), 0);
  EXPECT_EQ(host.positions.back(), 100);
  EXPECT_TRUE(std::is_sorted(host.positions.begin(), host.positions.end()));
  // The last frame starts at byte 14 + 99 * 24 = 2390 of 2414: 99%.
  EXPECT_EQ(host.positions[host.positions.size() - 2], 99);
  EXPECT_EQ(host.pumps, 100);
}

TEST_F(DecodeCommandTest, PrintsTheFrameCountEvery256Frames) {
  RecordingCodec codec(true);
  WriteBytes(input_, DvrFile(8000, Frames(600, 0xE0)));
  RecordingHost host(input_);
  ConversionOptions options;
  std::FILE* counts = std::tmpfile();
  options.frame_counts = counts;
  ASSERT_EQ(DecodeCommand(host, options), 0);
  std::rewind(counts);
  char text[64] = {};
  size_t n = std::fread(text, 1, sizeof text - 1, counts);
  std::fclose(counts);
  EXPECT_EQ(std::string(text, n), "256 frames\r512 frames\r");
}

TEST_F(DecodeCommandTest, RefusesPathsWithoutDvrAndOpensNothing) {
  RecordingCodec codec;
  for (std::string path : {std::string(), std::string(".DV"), dir_ / "a.dvr", dir_ / "a.wav"}) {
    RecordingHost host(path);
    EXPECT_EQ(DecodeCommand(host), 0) << path;
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Choose file to Decode");
    EXPECT_EQ(host.messages[0].kind, MessageKind::kRefused);
  }
  EXPECT_TRUE(codec.calls().empty());
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(DecodeCommandTest, ReportsAMissingOrEmptyInputWithoutAnOutput) {
  RecordingCodec codec;
  RecordingHost missing(input_);
  EXPECT_EQ(DecodeCommand(missing), -1);
  EXPECT_EQ(missing.messages.at(0).text, "Can't open file " + input_ + " ");
  EXPECT_EQ(missing.messages.at(0).kind, MessageKind::kFailed);

  EXPECT_EQ(Decode({}), -1);
  EXPECT_EQ(messages_.at(0).text, "File " + input_ + " is Empty");
  EXPECT_FALSE(fs::exists(output_));
  EXPECT_TRUE(codec.calls().empty());
}

TEST_F(DecodeCommandTest, NamesTheOutputAfterTheFileNotItsFolder) {
  RecordingCodec codec;
  fs::create_directories(dir_.path() / "rec.2007");
  std::string input = dir_ / "rec.2007/a.b.DVR";
  WriteBytes(input, DvrFile(8000, Frames(1, 0xE0)));
  RecordingHost host(input);
  ASSERT_EQ(DecodeCommand(host), 0);
  EXPECT_TRUE(fs::exists(dir_.path() / "rec.2007/a.WAV"));
  EXPECT_FALSE(fs::exists(dir_.path() / "rec.WAV"));
}

TEST_F(DecodeCommandTest, HandlesPathsLongerThanAnyFixedBuffer) {
  RecordingCodec codec;
  fs::path deep = dir_.path();
  for (int i = 0; i < 6; ++i) deep /= std::string(200, static_cast<char>('a' + i));
  fs::create_directories(deep);
  std::string input = (deep / (std::string(200, 'n') + ".DVR")).string();
  WriteBytes(input, DvrFile(8000, Frames(1, 0xE0)));
  RecordingHost host(input);
  ASSERT_EQ(DecodeCommand(host), 0);
  std::string output = (deep / (std::string(200, 'n') + ".WAV")).string();
  EXPECT_EQ(host.messages.at(0).text, "Finish Vek Coder Decode.\nCreate of file " + output + " ");
  EXPECT_EQ(ReadBytes(output).size(), 44u + 320);
}

// A host that tries to start a second decode from inside its pump, as a
// window does when the user clicks Decode again.
class ReenteringHost : public RecordingHost {
 public:
  using RecordingHost::RecordingHost;
  void PumpMessages() override {
    RecordingHost::PumpMessages();
    if (!nested_) {
      nested_ = true;
      RecordingHost inner(ChosenPath());
      nested_result = DecodeCommand(inner);
      nested_messages = inner.messages;
    }
  }
  int nested_result = 0;
  std::vector<testing::Message> nested_messages;

 private:
  bool nested_ = false;
};

TEST_F(DecodeCommandTest, RefusesASecondDecodeWhileOneRuns) {
  RecordingCodec codec;
  WriteBytes(input_, DvrFile(8000, Frames(3, 0x80)));
  ReenteringHost host(input_);
  ASSERT_EQ(DecodeCommand(host), 0);
  EXPECT_EQ(host.nested_result, -1);
  EXPECT_EQ(host.nested_messages.at(0).text, "A conversion is already running");
  EXPECT_EQ(ReadBytes(output_).size(), 44u + 3 * 320);
  EXPECT_EQ(codec.calls().size(), 5u);  // dsp, dec and three frames: no second reset
}

}  // namespace
}  // namespace ondavo
