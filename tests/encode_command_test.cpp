// The encode command against the recording codec, whose records are the
// first 9 bytes of each block, so every byte can be followed through.
#include "encode_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "fake_file_system.h"
#include "recording_codec.h"
#include "test_support.h"

namespace ondavo {
namespace {

using testing::FakeFileSystem;
using testing::ReadBytes;
using testing::RecordingCodec;
using testing::RecordingHost;
using testing::TempDir;
using testing::WriteBytes;
namespace fs = std::filesystem;

std::vector<uint8_t> Counting(size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  return bytes;
}

class EncodeCommandTest : public ::testing::Test {
 protected:
  int Encode(const std::vector<uint8_t>& pcm, std::string* counts = nullptr) {
    WriteBytes(input_, pcm);
    ConversionOptions options;
    std::FILE* stream = std::tmpfile();
    options.frame_counts = stream;
    int result = EncodeCommand(host_, options);
    std::rewind(stream);
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), stream));
    std::fclose(stream);
    if (counts) *counts = text;
    return result;
  }

  TempDir dir_;
  std::string input_ = dir_ / "voice.pcm";
  std::string output_ = dir_ / "voice.DVR";
  RecordingHost host_{input_};
};

TEST_F(EncodeCommandTest, WholeBlocksGiveOneRecordEach) {
  RecordingCodec codec;
  std::vector<uint8_t> pcm = Counting(100 * 64);
  std::string counts;
  ASSERT_EQ(Encode(pcm, &counts), 0);
  std::vector<uint8_t> coded = ReadBytes(output_);
  ASSERT_EQ(coded.size(), 100u * 9);
  for (size_t block = 0; block < 100; ++block) {
    ASSERT_TRUE(std::equal(coded.begin() + block * 9, coded.begin() + block * 9 + 9,
                           pcm.begin() + block * 64))
        << "record " << block;
  }
  EXPECT_EQ(counts, "200\n");
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "Finish Vek Coder Encode.\nCreate of file " + output_ + " ");
  EXPECT_EQ(host_.messages[0].kind, MessageKind::kFinished);
  // One step per block, from 0 to 99, then 100 at the end.
  std::vector<int> expected(100);
  for (int i = 0; i < 100; ++i) expected[i] = i;
  expected.push_back(100);
  EXPECT_EQ(host_.positions, expected);
  EXPECT_EQ(host_.pumps, 100);
}

TEST_F(EncodeCommandTest, CallsTheCodecInOrder) {
  RecordingCodec codec;
  ASSERT_EQ(Encode(Counting(3 * 64)), 0);
  EXPECT_EQ(codec.calls(), (std::vector<std::string>{"dsp", "enc", "E", "E", "E"}));
}

TEST_F(EncodeCommandTest, PadsALastShortBlockWithSilence) {
  RecordingCodec codec;
  // Two blocks and 5 bytes; the third record holds those 5, then zeros.
  std::vector<uint8_t> pcm = Counting(2 * 64 + 5);
  ASSERT_EQ(Encode(pcm), 0);
  std::vector<uint8_t> coded = ReadBytes(output_);
  ASSERT_EQ(coded.size(), 27u);
  std::vector<uint8_t> last(coded.begin() + 18, coded.end());
  EXPECT_EQ(last,
            (std::vector<uint8_t>{pcm[128], pcm[129], pcm[130], pcm[131], pcm[132], 0, 0, 0, 0}));
}

TEST_F(EncodeCommandTest, InputShorterThanABlockGivesOneRecord) {
  RecordingCodec codec;
  ASSERT_EQ(Encode({0x11, 0x22, 0x33}), 0);
  EXPECT_EQ(ReadBytes(output_), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0, 0, 0, 0, 0, 0}));
}

TEST_F(EncodeCommandTest, CountsEvery128Blocks) {
  RecordingCodec codec(true);
  std::string counts;
  ASSERT_EQ(Encode(std::vector<uint8_t>(300 * 64), &counts), 0);
  EXPECT_EQ(counts, "256 frames\r512 frames\r600\n");
}

TEST_F(EncodeCommandTest, RefusesPathsWithoutPcm) {
  RecordingCodec codec;
  for (std::string path : {std::string(), dir_ / "voice.PCM", dir_ / "voice.raw"}) {
    RecordingHost host(path);
    EXPECT_EQ(EncodeCommand(host), 0);
    EXPECT_EQ(host.messages.at(0).text, "Choose *.pcm file to Encode");
    EXPECT_EQ(host.messages.at(0).kind, MessageKind::kRefused);
  }
  EXPECT_TRUE(codec.calls().empty());
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(EncodeCommandTest, ReportsMissingEmptyAndUnwritableFiles) {
  RecordingCodec codec;
  EXPECT_EQ(EncodeCommand(host_), -1);
  EXPECT_EQ(host_.messages.at(0).text, "Can't open file " + input_ + " ");

  host_.messages.clear();
  EXPECT_EQ(Encode({}), -1);
  EXPECT_EQ(host_.messages.at(0).text, "File " + input_ + " is Empty");
  EXPECT_FALSE(fs::exists(output_));

  host_.messages.clear();
  fs::create_directory(output_);
  EXPECT_EQ(Encode(Counting(64)), -1);
  EXPECT_EQ(host_.messages.at(0).text, "Can't open file " + output_ + " ");
  EXPECT_TRUE(codec.calls().empty());
}

TEST_F(EncodeCommandTest, NamesTheOutputAfterTheFileNotItsFolder) {
  RecordingCodec codec;
  fs::create_directory(dir_.path() / "v1.2");
  std::string input = dir_ / "v1.2/voice.old.pcm";
  WriteBytes(input, Counting(64));
  RecordingHost host(input);
  ASSERT_EQ(EncodeCommand(host), 0);
  EXPECT_EQ(ReadBytes(dir_ / "v1.2/voice.DVR").size(), 9u);
}

TEST_F(EncodeCommandTest, RefusesToWriteOverItsInput) {
  RecordingCodec codec;
  fs::create_directory(dir_.path() / "x.pcm");
  std::string input = dir_ / "x.pcm/voice.DVR";
  WriteBytes(input, Counting(64));
  RecordingHost host(input);
  EXPECT_EQ(EncodeCommand(host), -1);
  EXPECT_EQ(host.messages.at(0).text, "Can't write file " + input + " over the input file");
  EXPECT_EQ(ReadBytes(input), Counting(64));
}

TEST(EncodeFaultsTest, DiskFullKeepsWholeRecordsAndIsAFailure) {
  RecordingCodec codec(true);
  FakeFileSystem files;
  files.AddInput("a.pcm", std::vector<uint8_t>(1000 * 64, 1));
  files.disk_space = 9 * 500 + 4;
  RecordingHost host("a.pcm");
  ConversionOptions options;
  options.file_system = &files;
  options.frame_counts = nullptr;
  EXPECT_EQ(EncodeCommand(host, options), -1);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Can't write file a.DVR (No space left on device)");
  EXPECT_EQ(files.output("a.DVR").size, 9u * 500);
}

TEST(EncodeFaultsTest, ReadErrorAndFailedCloseAreFailures) {
  RecordingCodec codec(true);
  FakeFileSystem files;
  files.AddInput("a.pcm", std::vector<uint8_t>(100 * 64, 1));
  files.read_error_at = 10 * 64 + 3;
  RecordingHost host("a.pcm");
  ConversionOptions options;
  options.file_system = &files;
  options.frame_counts = nullptr;
  EXPECT_EQ(EncodeCommand(host, options), -1);
  EXPECT_EQ(host.messages.at(0).text, "Can't read file a.pcm (Input/output error)");

  files.read_error_at = UINT64_MAX;
  files.close_error = 5;
  RecordingHost again("a.pcm");
  EXPECT_EQ(EncodeCommand(again, options), -1);
  EXPECT_EQ(again.messages.at(0).text, "Can't write file a.DVR (Input/output error)");
}

TEST(EncodeFaultsTest, MissingEncodeEntryPointIsNamed) {
  BindCodecLibrary("libm.so.6");
  TempDir dir;
  WriteBytes(dir / "a.pcm", Counting(64));
  RecordingHost host(dir / "a.pcm");
  EXPECT_EQ(EncodeCommand(host), -1);
  EXPECT_EQ(host.messages.at(0).text,
            "Codec library libm.so.6 has no entry point vVek_Init_Dsp_Regs");
  EXPECT_FALSE(fs::exists(dir / "a.DVR"));
}

}  // namespace
}  // namespace ondavo
