// Both commands when the files under them fail: a full disk at any point, a
// failed read, measure, close, header patch, rename or removal, a stop, and a
// WAV that reaches its format's 4 GiB limit. Whatever fails, the failure is
// told once, the earlier file of the output's name is left as it was, and no
// temporary file stays behind. Then what only the real file system shows:
// inputs that are not files, a link at the output's name, inputs past 4 GiB.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "decode_command.h"
#include "encode_command.h"
#include "fake_file_system.h"
#include "progress_tracker.h"
#include "recording_codec.h"
#include "stop_signals.h"
#include "test_support.h"

namespace ondavo {
namespace {

using namespace testing;
namespace fs = std::filesystem;

std::string Failed(const std::string& first_line, const std::string& output = "a.WAV") {
  return first_line + "\n" + FormatMessage(kNothingWrittenMessage, output);
}
std::string Because(const std::string& what, int error) {
  return what + " (" + std::strerror(error) + ")";
}

struct Fault {
  const char* name;
  bool encode;
  std::function<void(FakeFileSystem&)> set_up;
  std::string told;
};

TEST(FaultTest, AFailedRunLeavesTheEarlierOutputAndNoTemporaryFile) {
  volatile std::sig_atomic_t stop = 0;
  const Fault faults[] = {
      {"full in the header", false, [](auto& f) { f.disk_space = 20; },
       Failed(Because("Can't write file a.WAV", ENOSPC))},
      {"full in a frame", false, [](auto& f) { f.disk_space = WavSize(700) + 100; },
       Failed(Because("Can't write file a.WAV", ENOSPC))},
      {"write error", false, [](auto& f) { f.disk_space = 65537, f.write_error = EIO; },
       Failed(Because("Can't write file a.WAV", EIO))},
      {"too large", false, [](auto& f) { f.disk_space = 131072, f.write_error = EFBIG; },
       Failed(Because("Can't write file a.WAV", EFBIG))},
      {"read error", false, [](auto& f) { f.read_error_at = 14 + 18 * 300 + 5; },
       Failed(Because("Can't read file a.DVR", EIO))},
      {"unmeasurable", false, [](auto& f) { f.size_error = EIO; },
       Because("Can't read file a.DVR", EIO)},
      {"output close", false, [](auto& f) { f.close_error = EIO; },
       Failed(Because("Can't write file a.WAV", EIO))},
      {"input close", false, [](auto& f) { f.input_close_error = EIO; },
       Failed(Because("Can't read file a.DVR", EIO))},
      {"header patch", false, [](auto& f) { f.write_at_error = EIO; },
       Failed(Because("Can't update the header of file a.WAV", EIO))},
      {"rename", false, [](auto& f) { f.rename_error = EACCES; },
       Failed(Because("Can't write file a.WAV", EACCES))},
      {"stop", false, [&](auto&) { stop = 1; }, FormatMessage(kStoppedMessage, "a.WAV")},
      {"removal", false, [](auto& f) { f.disk_space = 100, f.remove_error = EIO; },
       Failed(Because("Can't write file a.WAV", ENOSPC)) + "\n" +
           Because("Can't remove file a.ondavo-part-1", EIO)},
      {"encode full", true, [](auto& f) { f.disk_space = 9 * 500 + 4; },
       Failed(Because("Can't write file a.DVR", ENOSPC), "a.DVR")},
      {"encode read error", true, [](auto& f) { f.read_error_at = 10 * 64 + 3; },
       Failed(Because("Can't read file a.pcm", EIO), "a.DVR")},
      {"encode close", true, [](auto& f) { f.close_error = EIO; },
       Failed(Because("Can't write file a.DVR", EIO), "a.DVR")},
      {"encode stop", true, [&](auto&) { stop = 1; }, FormatMessage(kStoppedMessage, "a.DVR")},
  };
  RecordingCodec codec(true);
  const std::vector<uint8_t> earlier = {'o', 'l', 'd'};
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    FakeFileSystem files;
    files.AddInput("a.DVR", DvrFile(8000, Frames(1000, 0x40)));
    files.AddInput("a.pcm", std::vector<uint8_t>(1000 * 64, 1));
    const std::string output = fault.encode ? "a.DVR" : "a.WAV";
    if (!fault.encode) files.AddFile(output, earlier);
    stop = 0;
    fault.set_up(files);
    RecordingHost host(fault.encode ? "a.pcm" : "a.DVR");
    ConversionOptions options;
    options.file_system = &files;
    options.frame_counts = nullptr;
    options.stop_request = &stop;
    options.existing_output = ExistingOutput::kReplace;
    EXPECT_EQ((fault.encode ? EncodeCommand : DecodeCommand)(host, options), -1);
    EXPECT_EQ(host.messages, (std::vector<Message>{{fault.told, MessageKind::kFailed}}));
    if (fault.encode) {
      EXPECT_FALSE(files.has_output(output));
    } else {
      EXPECT_EQ(files.output(output).head, earlier);
    }
    EXPECT_EQ(files.temporary_files(), std::string(fault.name) == "removal" ? 1u : 0u);
  }
}

// The longest WAV there can be is put in place, and the run still fails.
TEST(FaultTest, StopsBeforeTheWavPasses4GiB) {
  RecordingCodec codec(true);
  FakeFileSystem files;
  const uint64_t size = 3ull << 30;  // of 24-byte frames
  files.AddInput("a.DVR", size, [](uint64_t at) -> uint8_t {
    if (at < 14) return at == 8 ? 0x40 : at == 9 ? 0x1F : 0;
    return (at - 14) % 24 == 0 ? 0x80 : 0x55;
  });
  files.keep_bytes = 44;
  RecordingHost host("a.DVR");
  ConversionOptions options;
  options.file_system = &files;
  options.frame_counts = nullptr;
  EXPECT_EQ(DecodeCommand(host, options), -1);
  const FakeOutput& out = files.output("a.WAV");
  EXPECT_EQ(out.size, WavSize(kMaxWavFrames));
  EXPECT_EQ(Le32(out.head, 4), out.size - 8);
  EXPECT_EQ(Le32(out.head, 40), out.size - 44);
  EXPECT_EQ(codec.decodes(), kMaxWavFrames);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("is too long"), std::string::npos);
  EXPECT_TRUE(std::is_sorted(host.positions.begin(), host.positions.end()));
  EXPECT_EQ(host.positions.back(), static_cast<int>((14 + kMaxWavFrames * 24) * 100 / size));
}

// Exact while consumed * 100 fits 64 bits; beyond, in range and never back.
TEST(ProgressTest, PercentOfSizesPast32Bits) {
  std::mt19937_64 random(11);
  for (uint64_t total :
       {5ull << 29, (1ull << 32) + 1, 0xFFFFFFFFull * 320 + 44, (1ull << 57) - 3}) {
    for (int i = 0; i < 2000; ++i) {
      const uint64_t consumed = random() % total;
      ASSERT_EQ(ProgressTracker::Percent(consumed, total), static_cast<int>(consumed * 100 / total))
          << total;
    }
    EXPECT_EQ(ProgressTracker::Percent(total, total), 100);
  }
  for (uint64_t total : {uint64_t{UINT64_MAX}, (uint64_t{1} << 63) + 12345}) {
    std::vector<uint64_t> points = {0, UINT64_MAX / 100, UINT64_MAX / 100 + 1, total - 1};
    for (int i = 0; i < 2000; ++i) points.push_back(random() % total);
    std::sort(points.begin(), points.end());
    int last = 0;
    for (uint64_t consumed : points) {
      const int percent = ProgressTracker::Percent(consumed, total);
      ASSERT_GE(percent, last);
      ASSERT_LE(percent, 100);
      last = percent;
    }
  }
}

TEST(ProgressTest, TrackerShowsEveryPercentOnce) {
  constexpr uint64_t kTotal = 5ull << 29;
  RecordingHost host("");
  ProgressTracker tracker(host, kTotal);
  std::mt19937_64 random(13);
  std::vector<int> expected;
  for (uint64_t consumed = 0; consumed < kTotal; consumed += 1 + random() % (kTotal / 4000)) {
    tracker.Update(consumed);
    const int percent = static_cast<int>(consumed * 100 / kTotal);
    if (expected.empty() || expected.back() != percent) expected.push_back(percent);
  }
  tracker.Finish();
  if (expected.back() != 100) expected.push_back(100);
  EXPECT_EQ(host.positions, expected);
}

// A FIFO would hold an open() until a writer came, and a device is no
// recording; both are refused at once.
TEST(RealFilesTest, OnlyRegularFilesAreInputs) {
  RecordingCodec codec;
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo.DVR").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((dir / "fifo.pcm").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero.DVR");
  for (const char* name : {"fifo.DVR", "fifo.pcm", "zero.DVR"}) {
    RecordingHost host(dir / name);
    EXPECT_EQ((std::string(name).ends_with(".pcm") ? EncodeCommand : DecodeCommand)(host, {}), -1);
    EXPECT_EQ(host.messages.at(0).text, "Can't open file " + dir / name + " (Not a regular file)");
  }
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"fifo.DVR", "fifo.pcm", "zero.DVR"}));
  EXPECT_TRUE(codec.calls().empty());
}

// The link goes, the file it named stays; the new output has the permissions
// any new file gets.
TEST(RealFilesTest, ALinkAtTheOutputsNameIsReplacedNotFollowed) {
  RecordingCodec codec;
  TempDir dir;
  WriteBytes(dir / "notes.txt", {'n', 'o', 't', 'e', 's'});
  fs::create_symlink("notes.txt", dir / "a.WAV");
  WriteBytes(dir / "a.DVR", DvrFile(8000, Frames(2, 0xE0)));
  mode_t umask = ::umask(027);
  RecordingHost host(dir / "a.DVR");
  EXPECT_EQ(DecodeCommand(host, {}), 0);
  ::umask(umask);
  EXPECT_EQ(ReadBytes(dir / "notes.txt"), (std::vector<uint8_t>{'n', 'o', 't', 'e', 's'}));
  EXPECT_FALSE(fs::is_symlink(dir / "a.WAV"));
  EXPECT_EQ(ReadBytes(dir / "a.WAV").size(), WavSize(2));
  EXPECT_EQ(fs::status(dir / "a.WAV").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// The window's way with SIGTERM and its kind: the program ends as the
// signal asks, and takes the output it was writing with it.
TEST(RealFilesTest, ASignalThatEndsTheProgramRemovesItsUnfinishedOutput) {
  TempDir dir;
  EXPECT_EXIT(
      {
        EndOnSignals();
        std::unique_ptr<OutputFile> file;
        std::string temporary;
        DefaultFileSystem()->CreateTemporary(dir / "a.WAV", &file, &temporary);
        std::raise(SIGTERM);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_TRUE(dir.Names().empty());
}

// A sparse file costs no disk.
TEST(RealFilesTest, MeasuresAnInputPast4GiBWithoutMovingOn) {
  TempDir dir;
  WriteBytes(dir / "a.DVR", DvrFile(8000, {}));
  fs::resize_file(dir / "a.DVR", 9ull << 29);
  std::unique_ptr<InputFile> input;
  ASSERT_EQ(DefaultFileSystem()->OpenInput(dir / "a.DVR", &input), 0);
  uint64_t size = 0;
  ASSERT_EQ(input->Size(&size), 0);
  EXPECT_EQ(size, 9ull << 29);
  uint8_t first[8];
  size_t got = 0;
  ASSERT_EQ(input->Read(first, sizeof first, &got), 0);
  EXPECT_EQ(std::string(first, first + got), "header01");
}

}  // namespace
}  // namespace ondavo
