// Both commands when the files under them fail in ways decode_faults_test.cpp
// and encode_command_test.cpp leave out: writes cut short at any byte, an
// input that cannot be measured, a header patch or a truncate that fails
// (also while saving what was written), a failing input close. Then the real
// file system: a pipe that cannot be measured, a sparse input past 4 GiB, and
// the progress arithmetic on sizes past 32 bits.
//
// Every failure is reported once, returns -1, never shows the finish
// message, and leaves an output whose header states what is on disk, or a
// message that says the header could not be made to.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "decode_command.h"
#include "encode_command.h"
#include "fake_file_system.h"
#include "recording_codec.h"
#include "test_support.h"

namespace ondavo {
namespace {

using testing::DvrFile;
using testing::FakeFileSystem;
using testing::FakeOutput;
using testing::Le32;
using testing::RecordingCodec;
using testing::RecordingHost;
using testing::TempDir;
using testing::WriteBytes;
namespace fs = std::filesystem;

constexpr uint64_t kFrameBytes = 320;  // 160 decoded samples
constexpr uint64_t kRecordBytes = 9;

// `n` mid-rate frames (18 bytes each), so the decoded output is many times
// the input and the writer flushes several times.
std::vector<uint8_t> MidFrames(int n) {
  std::vector<uint8_t> body;
  for (int i = 0; i < n; ++i) {
    body.push_back(0x40);
    body.insert(body.end(), 17, static_cast<uint8_t>(i));
  }
  return body;
}

std::string ReadFailure(const std::string& path, int error) {
  return "Can't read file " + path + " (" + std::strerror(error) + ")";
}
std::string WriteFailure(const std::string& path, int error) {
  return "Can't write file " + path + " (" + std::strerror(error) + ")";
}
std::string HeaderFailure(const std::string& path, int error) {
  return "Can't update the header of file " + path + " (" + std::strerror(error) + ")";
}

// The one message of a run that failed.
std::string Failure(const RecordingHost& host) {
  EXPECT_EQ(host.messages.size(), 1u);
  if (host.messages.empty()) return {};
  EXPECT_EQ(host.messages[0].kind, MessageKind::kFailed);
  return host.messages[0].text;
}

// A WAV on the fake disk that holds whole frames under a header stating its
// length, or nothing at all.
void ExpectTrueWav(const FakeOutput& out) {
  EXPECT_TRUE(out.closed);
  if (out.size == 0) return;
  ASSERT_GE(out.size, 44u);
  EXPECT_EQ((out.size - 44) % kFrameBytes, 0u) << out.size;
  EXPECT_EQ(Le32(out.head, 4), out.size - 8);
  EXPECT_EQ(Le32(out.head, 40), out.size - 44);
}

class FakeRunTest : public ::testing::Test {
 protected:
  FakeRunTest() {
    options_.file_system = &files_;
    options_.frame_counts = nullptr;
    files_.keep_bytes = 1 << 20;
  }

  int Decode(const std::vector<uint8_t>& file) {
    files_.AddInput("a.DVR", file);
    host_ = RecordingHost("a.DVR");
    return DecodeCommand(host_, options_);
  }
  int Encode(const std::vector<uint8_t>& pcm) {
    files_.AddInput("a.pcm", pcm);
    host_ = RecordingHost("a.pcm");
    return EncodeCommand(host_, options_);
  }

  FakeFileSystem files_;
  ConversionOptions options_;
  RecordingHost host_{""};
};

// Writes that stop part way.

using ShortWriteTest = FakeRunTest;

TEST_F(ShortWriteTest, DecodeKeepsATrueHeaderWhereverTheWriteStops) {
  RecordingCodec codec(true);
  const std::vector<uint8_t> file = DvrFile(8000, MidFrames(600));
  const uint64_t end = 44 + 600 * kFrameBytes;
  // Inside the header, at its end, around the end of the first frame,
  // around the writer's 64 KiB flushes, inside the last frame, one byte short.
  const uint64_t stops[] = {0,   1,     20,    43,    44,     45,        363,    364,
                            365, 65535, 65536, 65537, 131072, end - 313, end - 1};
  for (int error : {ENOSPC, EIO, EFBIG}) {
    for (uint64_t stop : stops) {
      SCOPED_TRACE("stop at " + std::to_string(stop) + ", " + std::strerror(error));
      files_.disk_space = stop;
      files_.write_error = error;
      EXPECT_EQ(Decode(file), -1);
      EXPECT_EQ(Failure(host_), WriteFailure("a.WAV", error));
      const FakeOutput& out = files_.output("a.WAV");
      ExpectTrueWav(out);
      // Every whole frame that reached the disk is kept; part of a header,
      // which would carry an earlier decode's sizes, is not.
      if (stop >= 44) {
        EXPECT_EQ(out.size, 44 + (stop - 44) / kFrameBytes * kFrameBytes);
      } else {
        EXPECT_EQ(out.size, 0u);
      }
    }
  }
}

TEST_F(ShortWriteTest, EncodeKeepsWholeRecordsWhereverTheWriteStops) {
  RecordingCodec codec(true);
  const std::vector<uint8_t> pcm(20000 * 64, 0x11);  // 180 000 bytes out
  const uint64_t stops[] = {0, 1, 8, 9, 10, 65535, 65536, 65537, 65538, 179999};
  for (uint64_t stop : stops) {
    SCOPED_TRACE("stop at " + std::to_string(stop));
    files_.disk_space = stop;
    files_.write_error = EIO;
    EXPECT_EQ(Encode(pcm), -1);
    EXPECT_EQ(Failure(host_), WriteFailure("a.DVR", EIO));
    const FakeOutput& out = files_.output("a.DVR");
    EXPECT_EQ(out.size, stop / kRecordBytes * kRecordBytes);
    EXPECT_TRUE(out.closed);
  }
}

// The header patch and the truncate.

using PatchFaultsTest = FakeRunTest;

TEST_F(PatchFaultsTest, FailedHeaderPatchAfterTheLastFrameIsNamed) {
  RecordingCodec codec(true);
  files_.write_at_error = EIO;
  EXPECT_EQ(Decode(DvrFile(8000, MidFrames(10))), -1);
  // The samples are all there, under the header written before them.
  EXPECT_EQ(Failure(host_), HeaderFailure("a.WAV", EIO));
  EXPECT_EQ(files_.output("a.WAV").size, 44 + 10 * kFrameBytes);
  EXPECT_TRUE(files_.output("a.WAV").closed);
}

TEST_F(PatchFaultsTest, FailedHeaderPatchWhileSavingIsNamedAfterTheCause) {
  RecordingCodec codec(true);
  files_.disk_space = 44 + 3 * kFrameBytes + 100;
  files_.write_at_error = EIO;
  EXPECT_EQ(Decode(DvrFile(8000, MidFrames(10))), -1);
  EXPECT_EQ(Failure(host_), WriteFailure("a.WAV", ENOSPC) + "\n" + HeaderFailure("a.WAV", EIO));
  // Cut to the whole frames all the same.
  EXPECT_EQ(files_.output("a.WAV").size, 44 + 3 * kFrameBytes);
}

TEST_F(PatchFaultsTest, FailedTruncateWhileSavingAWavIsNamed) {
  RecordingCodec codec(true);
  files_.disk_space = 44 + 3 * kFrameBytes + 100;
  files_.truncate_error = EIO;
  EXPECT_EQ(Decode(DvrFile(8000, MidFrames(10))), -1);
  EXPECT_EQ(Failure(host_), WriteFailure("a.WAV", ENOSPC) + "\n" + HeaderFailure("a.WAV", EIO));
  EXPECT_TRUE(files_.output("a.WAV").closed);
}

TEST_F(PatchFaultsTest, FailedTruncateWhileSavingRecordsIsNamed) {
  RecordingCodec codec(true);
  files_.disk_space = 9 * 50 + 4;
  files_.truncate_error = EIO;
  EXPECT_EQ(Encode(std::vector<uint8_t>(100 * 64, 1)), -1);
  EXPECT_EQ(Failure(host_), WriteFailure("a.DVR", ENOSPC) + "\nCan't truncate file a.DVR (" +
                                std::strerror(EIO) + ")");
  EXPECT_EQ(files_.output("a.DVR").size, 9u * 50 + 4);
}

TEST_F(PatchFaultsTest, TruncateIsNotNeededWhenTheRecordsEndWhole) {
  RecordingCodec codec(true);
  files_.disk_space = 9 * 50;
  files_.truncate_error = EIO;
  EXPECT_EQ(Encode(std::vector<uint8_t>(100 * 64, 1)), -1);
  EXPECT_EQ(Failure(host_), WriteFailure("a.DVR", ENOSPC));
}

// Reading: measuring and closing the input.

using InputFaultsTest = FakeRunTest;

TEST_F(InputFaultsTest, InputThatCannotBeMeasuredIsReportedBeforeAnyOutput) {
  RecordingCodec codec;
  files_.size_error = EIO;
  EXPECT_EQ(Decode(DvrFile(8000, MidFrames(3))), -1);
  EXPECT_EQ(Failure(host_), ReadFailure("a.DVR", EIO));
  EXPECT_FALSE(files_.has_output("a.WAV"));

  EXPECT_EQ(Encode(std::vector<uint8_t>(64, 1)), -1);
  EXPECT_EQ(Failure(host_), ReadFailure("a.pcm", EIO));
  EXPECT_FALSE(files_.has_output("a.DVR"));
  EXPECT_TRUE(codec.calls().empty());
}

TEST_F(InputFaultsTest, FailedInputCloseIsAFailureButTheOutputIsWhole) {
  RecordingCodec codec(true);
  files_.input_close_error = EIO;
  EXPECT_EQ(Decode(DvrFile(8000, MidFrames(3))), -1);
  EXPECT_EQ(Failure(host_), ReadFailure("a.DVR", EIO));
  ExpectTrueWav(files_.output("a.WAV"));
  EXPECT_EQ(files_.output("a.WAV").size, 44 + 3 * kFrameBytes);

  EXPECT_EQ(Encode(std::vector<uint8_t>(3 * 64, 1)), -1);
  EXPECT_EQ(Failure(host_), ReadFailure("a.pcm", EIO));
  EXPECT_EQ(files_.output("a.DVR").size, 3 * kRecordBytes);
}

// A read that fails part way through a block: that block is not the
// file's last, so it must not be padded and coded as if it were.
TEST_F(InputFaultsTest, EncodeWritesNoRecordForABlockCutByAReadError) {
  RecordingCodec codec(true);
  files_.read_error_at = 10 * 64 + 3;
  EXPECT_EQ(Encode(std::vector<uint8_t>(100 * 64, 0x22)), -1);
  EXPECT_EQ(Failure(host_), ReadFailure("a.pcm", EIO));
  EXPECT_EQ(files_.output("a.DVR").size, 10 * kRecordBytes);
}

// The real file system.

// A pipe has no length to measure; the seek that tries fails.
TEST(PosixInputFaultsTest, PipeIsRefusedAsUnmeasurable) {
  RecordingCodec codec;
  TempDir dir;
  for (std::string name : {"d.DVR", "e.pcm"}) {
    SCOPED_TRACE(name);
    std::string path = dir / name;
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    // Holding a writer end open lets the command open the reader end at once.
    int writer = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    RecordingHost host(path);
    ConversionOptions options;
    options.frame_counts = nullptr;
    const bool decode = name == "d.DVR";
    EXPECT_EQ(decode ? DecodeCommand(host, options) : EncodeCommand(host, options), -1);
    EXPECT_EQ(Failure(host), ReadFailure(path, ESPIPE));
    ::close(writer);
  }
  EXPECT_FALSE(fs::exists(dir / "d.WAV"));
  EXPECT_FALSE(fs::exists(dir / "e.DVR"));
  EXPECT_TRUE(codec.calls().empty());
}

// A real input past 4 GiB costs no disk when it is sparse; only runs that
// stop early are affordable, so the output is the full device.
class SparseInputTest : public ::testing::Test {
 protected:
  static constexpr uint64_t kSize = 9ull << 29;  // 4.5 GiB

  void MakeSparse(const std::string& path, const std::vector<uint8_t>& head) {
    WriteBytes(path, head);
    fs::resize_file(path, kSize);
  }

  TempDir dir_;
};

TEST_F(SparseInputTest, MeasuresPast4GiB) {
  std::string path = dir_ / "a.DVR";
  MakeSparse(path, DvrFile(8000, {}));
  std::unique_ptr<InputFile> input;
  ASSERT_EQ(DefaultFileSystem()->OpenInput(path, &input), 0);
  uint64_t size = 0;
  ASSERT_EQ(input->Size(&size), 0);
  EXPECT_EQ(size, kSize);
  // Measuring left the read position at the start.
  uint8_t first[8];
  size_t got = 0;
  ASSERT_EQ(input->Read(first, sizeof first, &got), 0);
  EXPECT_EQ(std::string(first, first + got), "header01");
}

TEST_F(SparseInputTest, BothCommandsStopAtTheFirstFailedWrite) {
  RecordingCodec codec(true);
  MakeSparse(dir_ / "a.DVR", DvrFile(8000, {}));
  MakeSparse(dir_ / "b.pcm", {});
  fs::create_symlink("/dev/full", dir_ / "a.WAV");
  fs::create_symlink("/dev/full", dir_ / "b.DVR");
  ConversionOptions options;
  options.frame_counts = nullptr;

  RecordingHost decode(dir_ / "a.DVR");
  EXPECT_EQ(DecodeCommand(decode, options), -1);
  EXPECT_EQ(Failure(decode), WriteFailure(dir_ / "a.WAV", ENOSPC));
  // One 64 KiB buffer of output is a sliver of the input: still 0%.
  EXPECT_EQ(decode.positions, std::vector<int>{0});

  RecordingHost encode(dir_ / "b.pcm");
  EXPECT_EQ(EncodeCommand(encode, options), -1);
  EXPECT_EQ(Failure(encode), WriteFailure(dir_ / "b.DVR", ENOSPC));
  EXPECT_EQ(encode.positions, std::vector<int>{0});
}

// Progress on sizes past 32 bits, against 128-bit arithmetic.

class RecordingPositions : public ConversionHost {
 public:
  std::string ChosenPath() override { return {}; }
  void ShowMessage(const std::string&, MessageKind) override {}
  void SetProgressPosition(int percent) override { positions.push_back(percent); }
  void PumpMessages() override {}
  std::vector<int> positions;
};

int ExactPercent(uint64_t consumed, uint64_t total) {
  if (consumed >= total) return 100;
  return static_cast<int>(static_cast<unsigned __int128>(consumed) * 100 / total);
}

TEST(ProgressTest, PercentIsExactPast32Bits) {
  std::mt19937_64 random(11);
  for (uint64_t total :
       {5ull << 29, (1ull << 32) + 1, 0xFFFFFFFFull * 320 + 44, 1ull << 40, (1ull << 57) - 3}) {
    for (int i = 0; i < 2000; ++i) {
      const uint64_t consumed = random() % (total + 1);
      ASSERT_EQ(ProgressTracker::Percent(consumed, total), ExactPercent(consumed, total))
          << consumed << " of " << total;
    }
    for (uint64_t consumed : {uint64_t{0}, total / 100 - 1, total / 100, total / 100 + 1,
                              total - total / 100, total - 1, total, total + 1}) {
      ASSERT_EQ(ProgressTracker::Percent(consumed, total), ExactPercent(consumed, total))
          << consumed << " of " << total;
    }
  }
}

// Where consumed * 100 no longer fits 64 bits the percentage is approximate,
// but it must stay in range and never go back.
TEST(ProgressTest, PercentNeverGoesBackNearTheTopOf64Bits) {
  std::mt19937_64 random(12);
  for (uint64_t total :
       {uint64_t{UINT64_MAX}, uint64_t{UINT64_MAX / 3}, (uint64_t{1} << 63) + 12345}) {
    std::vector<uint64_t> points = {0, UINT64_MAX / 100, UINT64_MAX / 100 + 1, total - 1};
    for (int i = 0; i < 2000; ++i) points.push_back(random() % total);
    std::sort(points.begin(), points.end());
    int last = 0;
    for (uint64_t consumed : points) {
      const int percent = ProgressTracker::Percent(consumed, total);
      ASSERT_GE(percent, last) << consumed << " of " << total;
      ASSERT_LE(percent, 100);
      last = percent;
    }
  }
}

// A tracker shows each percentage of a 2.5 GiB input once, in order, however
// uneven the steps between updates.
TEST(ProgressTest, TrackerShowsEveryPercentOnceOverA64BitInput) {
  constexpr uint64_t kTotal = 5ull << 29;
  RecordingPositions host;
  ProgressTracker tracker(host, kTotal);
  std::mt19937_64 random(13);
  std::vector<int> expected;
  for (uint64_t consumed = 0; consumed < kTotal; consumed += 1 + random() % (kTotal / 4000)) {
    tracker.Update(consumed);
    const int percent = ExactPercent(consumed, kTotal);
    if (expected.empty() || expected.back() != percent) expected.push_back(percent);
  }
  tracker.Finish();
  if (expected.back() != 100) expected.push_back(100);
  EXPECT_EQ(host.positions, expected);
}

}  // namespace
}  // namespace ondavo
