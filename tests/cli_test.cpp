// ondavo-cli as a user runs it: a real process, real files, the real codec.
#include <gtest/gtest.h>

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

TEST(CliDecodeTest, DecodesEachFileAndReportsOnStandardOutput) {
  TempDir dir;
  WriteBytes(dir / "a.DVR", DvrFile(8000, SilenceFrames(600)));
  WriteBytes(dir / "b.DVR", DvrFile(11025, SilenceFrames(1)));
  auto run = RunShell(testing::CliCommand() + " decode '" + (dir / "a.DVR") + "' '" +
                      (dir / "b.DVR") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "256 frames\r512 frames\rFinish Vek Coder Decode.\nCreate of file " +
                         (dir / "a.WAV") + " \nFinish Vek Coder Decode.\nCreate of file " +
                         (dir / "b.WAV") + " \n");
  EXPECT_EQ(run.err, "2 converted, 0 skipped, 0 failed\n");
  EXPECT_EQ(ReadBytes(dir / "a.WAV").size(), 44u + 600 * 320);
  EXPECT_EQ(Le32(ReadBytes(dir / "b.WAV"), 24), 11025u);
}

TEST(CliDecodeTest, QuietOptionMayFollowTheFiles) {
  TempDir dir;
  WriteBytes(dir / "a.DVR", DvrFile(8000, SilenceFrames(600)));
  auto run = RunShell(testing::CliCommand() + " decode '" + (dir / "a.DVR") + "' -q");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Finish Vek Coder Decode.\nCreate of file " + (dir / "a.WAV") + " \n");
}

TEST(CliDecodeTest, AFailedFileFailsTheRunButTheOthersAreConverted) {
  TempDir dir;
  WriteBytes(dir / "b.DVR", DvrFile(8000, SilenceFrames(3)));
  auto run = RunShell(testing::CliCommand() + " decode -q '" + (dir / "a.DVR") + "' '" +
                      (dir / "b.DVR") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "Can't open file " + (dir / "a.DVR") + " \n1 converted, 0 skipped, 1 failed\n");
  EXPECT_TRUE(fs::exists(dir / "b.WAV"));
}

TEST(CliDecodeTest, RefusedPathsAndBadUsageExitWith2) {
  TempDir dir;
  auto refused = RunShell(testing::CliCommand() + " decode '" + (dir / "a.dvr") + "'");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "Choose file to Decode\n");
  EXPECT_EQ(RunShell(testing::CliCommand()).status, 2);
  EXPECT_EQ(RunShell(testing::CliCommand() + " decode").status, 2);
  EXPECT_EQ(RunShell(testing::CliCommand() + " decode --no-such-option x.DVR").status, 2);
  EXPECT_EQ(RunShell(testing::CliCommand() + " transcode x.DVR").status, 2);
}

TEST(CliDecodeTest, HelpAndVersion) {
  auto version = RunShell(testing::CliCommand() + " --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "ondavo-cli 1.0.0.1\n");
  auto help = RunShell(testing::CliCommand() + " --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("decode"), std::string::npos);
  EXPECT_NE(help.out.find("libVek.so"), std::string::npos);
}

TEST(CliDecodeTest, FileSizeLimitIsAFailureWithATrueHeader) {
  TempDir dir;
  WriteBytes(dir / "a.DVR", DvrFile(8000, SilenceFrames(2000)));
  // ulimit -f counts 512-byte blocks in sh, 1024 in bash; either cuts the
  // 640 KB output short. The program must not die of SIGXFSZ.
  auto run = RunShell("ulimit -f 200 && exec " + testing::CliCommand() + " decode -q '" +
                      (dir / "a.DVR") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Can't write file " + (dir / "a.WAV") + " (File too large)\n");
  EXPECT_EQ(run.out, "");
  std::vector<uint8_t> wav = ReadBytes(dir / "a.WAV");
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ((wav.size() - 44) % 320, 0u);
  EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
  EXPECT_EQ(Le32(wav, 40), wav.size() - 44);
}

TEST(CliCodecTest, MissingCodecLibraryIsReportedAndNothingIsCreated) {
  TempDir dir;
  // A copy of the program away from its lib/ folder finds no codec.
  fs::create_directory(dir.path() / "bin");
  fs::copy_file(testing::BinDir() + "/ondavo-cli", dir / "bin/ondavo-cli");
  WriteBytes(dir / "a.DVR", DvrFile(8000, SilenceFrames(3)));
  auto run = RunShell("'" + (dir / "bin/ondavo-cli") + "' decode '" + (dir / "a.DVR") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("Can't load codec library libVek.so (libVek.so: cannot open shared", 0),
            0u)
      << run.err;
  EXPECT_FALSE(fs::exists(dir / "a.WAV"));
}

TEST(CliCodecTest, AnotherLibraryWithTheFiveEntryPointsDropsIn) {
  TempDir dir;
  fs::create_directory(dir.path() / "vendor");
  fs::copy_file(testing::RecordingCodecPath(), dir / "vendor/libVek.so");
  WriteBytes(dir / "a.DVR", DvrFile(8000, {0x80, 1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                           12,   13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}));
  auto run = RunShell("LD_LIBRARY_PATH='" + (dir / "vendor") + "' " + testing::CliCommand() +
                      " decode '" + (dir / "a.DVR") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  // The recording codec writes the frame's first byte into each sample.
  std::vector<uint8_t> wav = ReadBytes(dir / "a.WAV");
  ASSERT_EQ(wav.size(), 44u + 320);
  EXPECT_EQ(wav[45], 0x80);
}

TEST(CliEncodeTest, EncodesAndCountsBlocks) {
  TempDir dir;
  testing::WriteSamples(dir / "voice.pcm", std::vector<int16_t>(300 * 32, 1000));
  auto run = RunShell(testing::CliCommand() + " encode '" + (dir / "voice.pcm") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "256 frames\r512 frames\r600\nFinish Vek Coder Encode.\nCreate of file " +
                         (dir / "voice.DVR") + " \n");
  EXPECT_EQ(ReadBytes(dir / "voice.DVR").size(), 300u * 9);

  auto refused = RunShell(testing::CliCommand() + " encode '" + (dir / "voice.raw") + "'");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "Choose *.pcm file to Encode\n");
}

}  // namespace
}  // namespace ondavo
