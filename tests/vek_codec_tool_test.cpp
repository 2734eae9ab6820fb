// The vek-codec tool, run as a separate program: file layout per mode, the
// vbr mix of frame types, unpack, and errors that say what went wrong.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "vek.h"

namespace {

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

std::string TempPath(const std::string& name) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + "vek_" + std::to_string(::getpid()) + "_" + test->name() + "_" +
         name;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(data.data()), data.size());
  ASSERT_TRUE(file.good()) << path;
}

std::vector<uint8_t> AsBytes(const std::vector<short>& samples) {
  std::vector<uint8_t> bytes;
  for (short sample : samples) {
    bytes.push_back(static_cast<uint8_t>(sample & 0xFF));
    bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8));
  }
  return bytes;
}

std::vector<short> AsSamples(const std::vector<uint8_t>& bytes) {
  std::vector<short> samples;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    samples.push_back(static_cast<short>(bytes[i] | bytes[i + 1] << 8));
  }
  return samples;
}

std::string SpeechPath() {
  return VEK_TEST_DATA_DIR "/speech.pcm";
}

// Single quotes for the shell (the paths here hold none themselves).
std::string Quote(const std::string& path) {
  std::string quoted(1, '\'');
  quoted += path;
  quoted += '\'';
  return quoted;
}

RunResult RunTool(const std::vector<std::string>& args) {
  const std::string out = TempPath("stdout"), err = TempPath("stderr");
  std::string command = Quote(VEK_CODEC_TOOL);
  for (const std::string& arg : args) command.append(" ").append(Quote(arg));
  command.append(" >").append(Quote(out)).append(" 2>").append(Quote(err));
  const int status = std::system(command.c_str());
  const std::vector<uint8_t> out_bytes = ReadFile(out), err_bytes = ReadFile(err);
  std::remove(out.c_str());
  std::remove(err.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
          std::string(out_bytes.begin(), out_bytes.end()),
          std::string(err_bytes.begin(), err_bytes.end())};
}

// Walks the frames by their first bytes alone and counts them per length;
// fails unless they end exactly at the end of the file.
std::map<int, int> CountFrames(const std::vector<uint8_t>& file) {
  std::map<int, int> counts;
  size_t offset = 14;
  while (offset < file.size()) {
    const uint8_t first = file[offset];
    const int length = first < 0x40   ? 11
                       : first < 0x80 ? 18
                       : first < 0xC0 ? 24
                       : first < 0xE0 ? 4
                                      : 2;
    ++counts[length];
    offset += length;
  }
  EXPECT_EQ(offset, file.size()) << "the last frame runs past the end of the file";
  return counts;
}

void ExpectHeader(const std::vector<uint8_t>& file, int rate) {
  ASSERT_GE(file.size(), 14u);
  const uint8_t marker[8] = {'V', 'E', 'K', 'D', 'V', 'R', 0, 1};
  EXPECT_EQ(std::memcmp(file.data(), marker, 8), 0);
  EXPECT_EQ(file[8] | file[9] << 8, rate);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 10, file.begin() + 14), std::vector<uint8_t>(4, 0));
}

// Each fixed mode gives one frame size throughout; no --mode means high.
TEST(VekCodecToolTest, FixedModesUseOneFrameSizeThroughout) {
  const size_t samples = ReadFile(SpeechPath()).size() / 2;
  const int frames = static_cast<int>((samples + kVekFrameSamples - 1) / kVekFrameSamples);
  struct Case {
    std::vector<std::string> options;
    int rate;
    int frame_length;
  };
  const Case cases[] = {{{"--mode", "high"}, 8000, 24},
                        {{"--mode=mid"}, 8000, 18},
                        {{"--mode", "low", "--rate", "16000"}, 16000, 11},
                        {{"--rate=11025"}, 11025, 24}};
  for (const Case& c : cases) {
    const std::string output = TempPath("fixed.DVR");
    std::vector<std::string> args = {"pack"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {SpeechPath(), output});
    const RunResult result = RunTool(args);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<uint8_t> file = ReadFile(output);
    ExpectHeader(file, c.rate);
    EXPECT_EQ(file.size(), 14u + static_cast<size_t>(frames) * c.frame_length);
    EXPECT_EQ(CountFrames(file), (std::map<int, int>{{c.frame_length, frames}}));
    std::remove(output.c_str());
  }
}

TEST(VekCodecToolTest, VbrMixesFrameTypes) {
  // Speech, a second of digital silence, two seconds of quiet steady noise,
  // speech again.
  const std::vector<short> speech = AsSamples(ReadFile(SpeechPath()));
  std::vector<short> input = speech;
  input.insert(input.end(), 8000, 0);
  uint32_t seed = 3;
  for (int i = 0; i < 16000; ++i) {
    seed = seed * 22695477u + 1u;
    input.push_back(static_cast<short>(static_cast<int>(seed >> 16 & 0xFF) - 128));
  }
  input.insert(input.end(), speech.begin(), speech.end());
  const std::string pcm = TempPath("mix.pcm"), output = TempPath("mix.DVR");
  WriteFile(pcm, AsBytes(input));

  const RunResult result = RunTool({"pack", "--mode", "vbr", pcm, output});
  ASSERT_EQ(result.status, 0) << result.err;
  std::map<int, int> counts = CountFrames(ReadFile(output));
  EXPECT_GE(counts[kVekFrameSilence], 40);  // of the 50 silent frames
  EXPECT_GE(counts[kVekFrameNoise], 80);    // of the 100 noise frames
  EXPECT_GE(counts[kVekFrameHigh], 20);
  EXPECT_GE(counts[kVekFrameMid] + counts[kVekFrameLow], 5);
  std::remove(pcm.c_str());
  std::remove(output.c_str());
}

TEST(VekCodecToolTest, UnpackMatchesTheLibrary) {
  std::vector<short> speech = AsSamples(ReadFile(SpeechPath()));
  speech.resize(speech.size() / kVekBlockSamples * kVekBlockSamples);
  std::vector<uint8_t> records;
  vVek_Init_Encoder();
  for (size_t start = 0; start < speech.size(); start += kVekBlockSamples) {
    unsigned char coded[kVekEncodeBufferBytes];
    vVek_Encode(&speech[start], coded);
    records.insert(records.end(), coded, coded + kVekRecordBytes);
  }
  std::vector<short> expected;
  vVek_Init_Decoder();
  for (size_t offset = 0; offset < records.size(); offset += kVekRecordBytes) {
    short pcm[kVekBlockSamples];
    vVek_Decode_Record(&records[offset], pcm);
    expected.insert(expected.end(), pcm, pcm + kVekBlockSamples);
  }

  const std::string input = TempPath("in.rec"), output = TempPath("out.pcm");
  WriteFile(input, records);
  const RunResult result = RunTool({"unpack", input, output});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadFile(output), AsBytes(expected));
  std::remove(input.c_str());
  std::remove(output.c_str());
}

TEST(VekCodecToolTest, UnpackRefusesAPartialRecord) {
  const std::string input = TempPath("cut.rec"), output = TempPath("cut.pcm");
  WriteFile(input, std::vector<uint8_t>(3 * kVekRecordBytes + 4, 0x11));
  const RunResult result = RunTool({"unpack", input, output});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find(input), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("partial record"), std::string::npos) << result.err;
  EXPECT_TRUE(ReadFile(output).empty());
  std::remove(input.c_str());
}

// Failed opens, reads and writes exit with 1 and name the file and the reason.
TEST(VekCodecToolTest, FileErrorsAreReported) {
  const std::string missing = TempPath("does-not-exist.pcm");
  const std::string out = TempPath("out");
  struct Case {
    std::vector<std::string> args;
    std::string path;
    int error;
  };
  std::vector<Case> cases = {
      {{"pack", missing, out}, missing, ENOENT},
      {{"unpack", missing, out}, missing, ENOENT},
      {{"pack", "/", out}, "/", EISDIR},
      {{"pack", SpeechPath(), "/nonexistent-dir/x.DVR"}, "/nonexistent-dir/x.DVR", ENOENT}};
  // A device that takes the open but fails every write, as a full disk does.
  if (::access("/dev/full", W_OK) == 0)
    cases.push_back({{"pack", SpeechPath(), "/dev/full"}, "/dev/full", ENOSPC});
  for (const Case& c : cases) {
    const RunResult result = RunTool(c.args);
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find(c.path + ": " + std::strerror(c.error)), std::string::npos)
        << result.err;
  }
}

TEST(VekCodecToolTest, UsageErrorsExitWithTwo) {
  const std::string speech = SpeechPath();
  const std::vector<std::vector<std::string>> bad_calls = {{},
                                                           {"frobnicate"},
                                                           {"pack", speech},
                                                           {"pack", "--mode", "loud", speech, "x"},
                                                           {"pack", "--rate", "0", speech, "x"},
                                                           {"pack", "--mode"},
                                                           {"unpack", speech},
                                                           {"pack", "--bogus", speech, "x"}};
  for (const auto& args : bad_calls) {
    const RunResult result = RunTool(args);
    EXPECT_EQ(result.status, 2) << ::testing::PrintToString(args);
    EXPECT_NE(result.err.find("usage:"), std::string::npos) << ::testing::PrintToString(args);
  }
}

TEST(VekCodecToolTest, HelpExplainsBothCommands) {
  const RunResult result = RunTool({"--help"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("pack"), std::string::npos);
  EXPECT_NE(result.out.find("unpack"), std::string::npos);
  EXPECT_NE(result.out.find("partial record"), std::string::npos);
}

}  // namespace
