// The decode command when things go wrong: unwritable outputs, full disks,
// failing reads and closes, inputs past 2 GiB and outputs that reach the WAV
// format's 4 GiB limit, a missing codec. Each is reported, returns -1, never
// shows the finish message, and leaves an output whose header is true.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "decode_command.h"
#include "fake_file_system.h"
#include "recording_codec.h"
#include "test_support.h"

namespace ondavo {
namespace {

using testing::DvrFile;
using testing::FakeFileSystem;
using testing::Le32;
using testing::ReadBytes;
using testing::RecordingCodec;
using testing::RecordingHost;
using testing::SilenceFrames;
using testing::TempDir;
using testing::WriteBytes;
namespace fs = std::filesystem;

void ExpectFailedWith(const RecordingHost& host, const std::string& text) {
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, text);
  EXPECT_EQ(host.messages[0].kind, MessageKind::kFailed);
}

TEST(DecodeOutputFaultsTest, OutputThatIsAFolderIsReportedBeforeTheCodec) {
  RecordingCodec codec;
  TempDir dir;
  WriteBytes(dir / "a.DVR", DvrFile(8000, SilenceFrames(2)));
  fs::create_directory(dir / "a.WAV");
  RecordingHost host(dir / "a.DVR");
  EXPECT_EQ(DecodeCommand(host), -1);
  ExpectFailedWith(host, "Can't open file " + (dir / "a.WAV") + " ");
  EXPECT_TRUE(codec.calls().empty());
}

TEST(DecodeOutputFaultsTest, FullDiskIsAFailureNotAFinish) {
  RecordingCodec codec;
  TempDir dir;
  WriteBytes(dir / "a.DVR", DvrFile(8000, SilenceFrames(2)));
  fs::create_symlink("/dev/full", dir / "a.WAV");
  RecordingHost host(dir / "a.DVR");
  EXPECT_EQ(DecodeCommand(host), -1);
  ExpectFailedWith(host, "Can't write file " + (dir / "a.WAV") + " (No space left on device)");
}

TEST(DecodeOutputFaultsTest, RefusesToWriteOverItsInput) {
  RecordingCodec codec;
  TempDir dir;
  // "rec.DVR/a.WAV" contains ".DVR", and its output name is itself.
  fs::create_directory(dir / "rec.DVR");
  std::string input = dir / "rec.DVR/a.WAV";
  std::vector<uint8_t> original = DvrFile(8000, SilenceFrames(3));
  WriteBytes(input, original);
  RecordingHost host(input);
  EXPECT_EQ(DecodeCommand(host), -1);
  ExpectFailedWith(host, "Can't write file " + input + " over the input file");
  EXPECT_EQ(ReadBytes(input), original);

  // The same file under two names.
  WriteBytes(dir / "b.DVR", original);
  fs::create_hard_link(dir / "b.DVR", dir / "b.WAV");
  RecordingHost linked(dir / "b.DVR");
  EXPECT_EQ(DecodeCommand(linked), -1);
  EXPECT_EQ(ReadBytes(dir / "b.DVR"), original);
  EXPECT_TRUE(codec.calls().empty());
}

TEST(DecodeCodecFaultsTest, MissingLibraryIsNamedWithTheSystemsReason) {
  BindCodecLibrary("libOndavoNoSuchCodec.so");
  TempDir dir;
  WriteBytes(dir / "a.DVR", DvrFile(8000, SilenceFrames(2)));
  RecordingHost host(dir / "a.DVR");
  EXPECT_EQ(DecodeCommand(host), -1);
  ASSERT_EQ(host.messages.size(), 1u);
  const std::string& text = host.messages[0].text;
  EXPECT_EQ(text.rfind("Can't load codec library libOndavoNoSuchCodec.so (", 0), 0u) << text;
  EXPECT_NE(text.find("No such file or directory"), std::string::npos) << text;
  EXPECT_FALSE(fs::exists(dir / "a.WAV"));
}

TEST(DecodeCodecFaultsTest, MissingEntryPointIsNamed) {
  BindCodecLibrary("libm.so.6");
  TempDir dir;
  WriteBytes(dir / "a.DVR", DvrFile(8000, SilenceFrames(2)));
  RecordingHost host(dir / "a.DVR");
  EXPECT_EQ(DecodeCommand(host), -1);
  ExpectFailedWith(host, "Codec library libm.so.6 has no entry point vVek_Init_Dsp_Regs");
  EXPECT_FALSE(fs::exists(dir / "a.WAV"));
}

class DecodeWithFakeFilesTest : public ::testing::Test {
 protected:
  int Decode() {
    ConversionOptions options;
    options.file_system = &files_;
    options.frame_counts = nullptr;
    return DecodeCommand(host_, options);
  }
  // The header must state exactly what is on the fake disk.
  void ExpectHeaderTrue(uint64_t frames) {
    const testing::FakeOutput& out = files_.output("a.WAV");
    EXPECT_EQ(out.size, 44 + frames * 320);
    EXPECT_EQ(Le32(out.head, 4), out.size - 8);
    EXPECT_EQ(Le32(out.head, 40), out.size - 44);
    EXPECT_TRUE(out.closed);
  }

  FakeFileSystem files_;
  RecordingHost host_{"a.DVR"};
};

TEST_F(DecodeWithFakeFilesTest, DiskFullMidwayKeepsTheWholeFramesWritten) {
  RecordingCodec codec(true);
  files_.AddInput("a.DVR", DvrFile(8000, SilenceFrames(1000)));
  files_.disk_space = 44 + 700 * 320 + 100;
  EXPECT_EQ(Decode(), -1);
  ExpectFailedWith(host_, "Can't write file a.WAV (No space left on device)");
  ExpectHeaderTrue(700);
}

TEST_F(DecodeWithFakeFilesTest, ReadErrorMidwayStopsWithTheFramesBeforeIt) {
  RecordingCodec codec(true);
  files_.AddInput("a.DVR", DvrFile(8000, SilenceFrames(1000)));
  files_.read_error_at = 14 + 2 * 300 + 1;
  EXPECT_EQ(Decode(), -1);
  ExpectFailedWith(host_, "Can't read file a.DVR (Input/output error)");
  ExpectHeaderTrue(300);
}

TEST_F(DecodeWithFakeFilesTest, FailedCloseIsAFailure) {
  RecordingCodec codec(true);
  files_.AddInput("a.DVR", DvrFile(8000, SilenceFrames(10)));
  files_.close_error = 5;  // EIO
  EXPECT_EQ(Decode(), -1);
  ExpectFailedWith(host_, "Can't write file a.WAV (Input/output error)");
}

TEST_F(DecodeWithFakeFilesTest, OutputThatCannotBeReopenedIsReported) {
  RecordingCodec codec(true);
  files_.AddInput("a.DVR", DvrFile(8000, SilenceFrames(10)));
  files_.refuse_update = true;
  EXPECT_EQ(Decode(), -1);
  ExpectFailedWith(host_, "Can't open file a.WAV ");
}

TEST_F(DecodeWithFakeFilesTest, StopsBeforeTheWavPasses4GiBWithA64BitProgress) {
  RecordingCodec codec(true);
  // 3 GiB of 24-byte frames: the WAV would pass 4 GiB long before its end.
  const uint64_t size = 3ull << 30;
  files_.AddInput("a.DVR", size, [](uint64_t at) -> uint8_t {
    if (at < 14) return at == 8 ? 0x40 : at == 9 ? 0x1F : 0;
    return (at - 14) % 24 == 0 ? 0x80 : 0x55;
  });
  files_.keep_bytes = 44;
  EXPECT_EQ(Decode(), -1);
  ExpectHeaderTrue(kMaxWavFrames);
  EXPECT_EQ(codec.decodes(), kMaxWavFrames);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_NE(host_.messages[0].text.find("is too long"), std::string::npos);
  // Positions stay within range and follow the bytes consumed: about 10%.
  EXPECT_TRUE(std::is_sorted(host_.positions.begin(), host_.positions.end()));
  EXPECT_EQ(host_.positions.front(), 0);
  EXPECT_EQ(host_.positions.back(), static_cast<int>((14 + kMaxWavFrames * 24) * 100 / size));
}

}  // namespace
}  // namespace ondavo
