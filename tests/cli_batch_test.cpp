// ondavo-cli's batch options, as a user runs them: folders searched with -r,
// outputs gathered with -o, -n, -j, --keep-time, the summary, and Ctrl-C.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "test_support.h"

namespace ondavo {
namespace {

using testing::DvrFile;
using testing::Le32;
using testing::ReadBytes;
using testing::RunShell;
using testing::SilenceFrames;
using testing::TempDir;
using testing::WriteBytes;
namespace fs = std::filesystem;

// A recorder's card: two folders of recordings and a file to be ignored.
class CliBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.path() / "card/day1");
    fs::create_directories(dir_.path() / "card/day2/late");
    WriteBytes(dir_ / "card/day1/a.DVR", DvrFile(8000, SilenceFrames(3, 1)));
    WriteBytes(dir_ / "card/day2/b.DVR", DvrFile(8000, SilenceFrames(4, 2)));
    WriteBytes(dir_ / "card/day2/late/c.DVR", DvrFile(8000, SilenceFrames(5, 3)));
    WriteBytes(dir_ / "card/day2/notes.txt", {'h', 'i'});
  }
  TempDir dir_;
};

TEST_F(CliBatchTest, RecursesIntoFoldersAndMirrorsThemUnderTheOutputFolder) {
  auto run = RunShell(testing::CliCommand() + " decode -q -r -o '" + (dir_ / "wav") + "' '" +
                      (dir_ / "card") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir_ / "wav/day1/a.WAV").size(), 44u + 3 * 320);
  EXPECT_EQ(ReadBytes(dir_ / "wav/day2/b.WAV").size(), 44u + 4 * 320);
  EXPECT_EQ(ReadBytes(dir_ / "wav/day2/late/c.WAV").size(), 44u + 5 * 320);
  EXPECT_FALSE(fs::exists(dir_ / "card/day1/a.WAV"));
  EXPECT_EQ(run.err, "3 converted, 0 skipped, 0 failed\n");
}

TEST_F(CliBatchTest, WithoutRecursionAFolderIsAnInputThatFails) {
  fs::create_directory(dir_.path() / "card/old.DVR");
  auto run = RunShell(testing::CliCommand() + " decode -q '" + (dir_ / "card/old.DVR") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Can't open file " + (dir_ / "card/old.DVR") + " \n");
  // With -r the same folder is searched, and holds nothing.
  auto searched =
      RunShell(testing::CliCommand() + " decode -q -r '" + (dir_ / "card/old.DVR") + "'");
  EXPECT_EQ(searched.status, 0);
}

TEST_F(CliBatchTest, NoClobberSkipsExistingOutputs) {
  WriteBytes(dir_ / "card/day2/b.WAV", {'k', 'e', 'e', 'p'});
  auto run = RunShell(testing::CliCommand() + " decode -q -n -r '" + (dir_ / "card") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir_ / "card/day2/b.WAV"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_NE(run.err.find("File " + (dir_ / "card/day2/b.WAV") + " exists; not replaced\n"),
            std::string::npos);
  EXPECT_NE(run.err.find("2 converted, 1 skipped, 0 failed\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ / "card/day1/a.WAV"));
}

TEST_F(CliBatchTest, ParallelRunGivesTheSerialOutputsAndWholeMessages) {
  auto serial = RunShell(testing::CliCommand() + " decode -r -o '" + (dir_ / "serial") + "' '" +
                         (dir_ / "card") + "'");
  auto parallel = RunShell(testing::CliCommand() + " decode -r -j 3 -o '" + (dir_ / "parallel") +
                           "' '" + (dir_ / "card") + "'");
  ASSERT_EQ(serial.status, 0) << serial.err;
  ASSERT_EQ(parallel.status, 0) << parallel.err;
  for (const char* name : {"day1/a.WAV", "day2/b.WAV", "day2/late/c.WAV"}) {
    EXPECT_EQ(ReadBytes(dir_ / (std::string("serial/") + name)),
              ReadBytes(dir_ / (std::string("parallel/") + name)))
        << name;
  }
  // Each file's finish message stands whole on its own lines.
  for (const char* name : {"day1/a.WAV", "day2/b.WAV", "day2/late/c.WAV"}) {
    std::string message = "Finish Vek Coder Decode.\nCreate of file " +
                          (dir_ / (std::string("parallel/") + name)) + " \n";
    EXPECT_NE(parallel.out.find(message), std::string::npos) << parallel.out;
  }
  EXPECT_EQ(parallel.err, "3 converted, 0 skipped, 0 failed\n");
}

TEST_F(CliBatchTest, FailuresAreCountedAndTheOthersStillConverted) {
  fs::create_directory(dir_ / "card/day1/a.WAV");  // an output that can't be made
  auto run = RunShell(testing::CliCommand() + " decode -q -r -j 2 '" + (dir_ / "card") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Can't open file " + (dir_ / "card/day1/a.WAV") + " \n"),
            std::string::npos);
  EXPECT_NE(run.err.find("2 converted, 0 skipped, 1 failed\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ / "card/day2/late/c.WAV"));
}

TEST_F(CliBatchTest, KeepTimeGivesTheOutputTheRecordingsDate) {
  auto recorded = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  fs::last_write_time(dir_ / "card/day1/a.DVR", recorded);
  auto run = RunShell(testing::CliCommand() + " decode -q --keep-time '" +
                      (dir_ / "card/day1/a.DVR") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(fs::last_write_time(dir_ / "card/day1/a.WAV"), recorded);
}

TEST_F(CliBatchTest, EncodeTakesPcmFilesFromFolders) {
  testing::WriteSamples(dir_ / "card/day1/v.pcm", std::vector<int16_t>(64, 7));
  auto run = RunShell(testing::CliCommand() + " encode -q -r -o '" + (dir_ / "coded") + "' '" +
                      (dir_ / "card") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir_ / "coded/day1/v.DVR").size(), 2u * 9);
  EXPECT_FALSE(fs::exists(dir_ / "coded/day1/a.DVR"));
}

// Ctrl-C while a slowed-down codec decodes: the output keeps what was
// written, with a true header, and the exit status is 130.
class CliInterruptTest : public ::testing::TestWithParam<const char*> {};

TEST_P(CliInterruptTest, StopsKeepingATrueHeader) {
  TempDir dir;
  fs::create_directory(dir.path() / "codec");
  fs::copy_file(testing::RecordingCodecPath(), dir / "codec/libVek.so");
  WriteBytes(dir / "a.DVR", DvrFile(8000, SilenceFrames(20000, 1)));  // 20 s at 1 ms a frame
  WriteBytes(dir / "b.DVR", DvrFile(8000, SilenceFrames(20000, 1)));
  std::string command = "LD_LIBRARY_PATH='" + (dir / "codec") +
                        "' ONDAVO_TEST_CODEC_DELAY_US=1000 " + testing::CliCommand() +
                        " decode -q " + GetParam() + " '" + (dir / "a.DVR") + "' '" +
                        (dir / "b.DVR") + "' & pid=$!; until [ -e '" + (dir / "a.WAV") +
                        "' ]; do sleep 0.05; done; sleep 0.2; kill -INT $pid; wait $pid";
  auto run = RunShell(command);
  EXPECT_EQ(run.status, 130) << run.err;
  EXPECT_NE(run.err.find("Stopped; file " + (dir / "a.WAV") + " keeps what was converted so far"),
            std::string::npos)
      << run.err;
  for (const char* name : {"a.WAV", "b.WAV"}) {
    if (!fs::exists(dir / name)) continue;
    std::vector<uint8_t> wav = ReadBytes(dir / name);
    ASSERT_GE(wav.size(), 44u) << name;
    EXPECT_LT(wav.size(), 44u + 20000 * 320) << name;
    EXPECT_EQ((wav.size() - 44) % 320, 0u) << name;
    EXPECT_EQ(Le32(wav, 4), wav.size() - 8) << name;
    EXPECT_EQ(Le32(wav, 40), wav.size() - 44) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(SerialAndParallel, CliInterruptTest, ::testing::Values("", "-j 2"));

}  // namespace
}  // namespace ondavo
