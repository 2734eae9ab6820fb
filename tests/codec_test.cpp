// The codec library through its entry points, then vek-codec as a program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "test_support.h"
#include "vek.h"

namespace {

namespace fs = std::filesystem;
using namespace ondavo::testing;
using Records = std::vector<std::array<unsigned char, kVekRecordBytes>>;

const std::string kSpeech = VEK_TEST_DATA_DIR "/speech.pcm";

std::vector<short> LoadSpeech() {
  static_assert(std::endian::native == std::endian::little, "speech.pcm is little-endian");
  const std::string bytes = ReadText(kSpeech);
  std::vector<short> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// Whole blocks from a reset encoder; no byte written past the record.
Records EncodeRecords(std::vector<short> samples) {
  vVek_Init_Encoder();
  Records records;
  for (size_t at = 0; at + kVekBlockSamples <= samples.size(); at += kVekBlockSamples) {
    std::vector<unsigned char> coded(32, 0xA5);
    vVek_Encode(&samples[at], coded.data());
    EXPECT_EQ(std::count(coded.begin() + kVekRecordBytes, coded.end(), 0xA5), 32 - kVekRecordBytes);
    std::copy_n(coded.begin(), kVekRecordBytes, records.emplace_back().begin());
  }
  return records;
}

std::vector<short> DecodeRecords(const Records& records) {
  vVek_Init_Decoder();
  std::vector<short> pcm(records.size() * kVekBlockSamples);
  for (size_t i = 0; i < records.size(); ++i)
    vVek_Decode_Record(records[i].data(), &pcm[i * kVekBlockSamples]);
  return pcm;
}

std::vector<short> DecodeRepeatedly(std::vector<unsigned char> frame, int times) {
  std::vector<short> pcm(times * kVekFrameSamples);
  for (int i = 0; i < times; ++i) vVek_Decode(&pcm[i * kVekFrameSamples], frame.data());
  return pcm;
}

// Each whole frame coded as `type` (zeros read ahead of the last), decoded
// from a buffer of its length.
std::vector<short> FrameRoundTrip(std::vector<short> input, int type) {
  vVek_Init_Dsp_Regs();
  const size_t frames = input.size() / kVekFrameSamples;
  input.resize(input.size() + kVekFrameLookahead);
  std::vector<short> output;
  for (size_t at = 0; at < frames * kVekFrameSamples; at += kVekFrameSamples) {
    unsigned char coded[kVekMaxFrameBytes];
    EXPECT_EQ(vVek_Encode_Frame(&input[at], type, coded), type);
    const std::vector<short> pcm = DecodeRepeatedly({coded, coded + type}, 1);
    output.insert(output.end(), pcm.begin(), pcm.end());
  }
  return output;
}

double Rms(const std::vector<short>& pcm) {
  return std::sqrt(std::inner_product(pcm.begin(), pcm.end(), pcm.begin(), 0.0) / pcm.size());
}

// The plain SNR of `output` against `input` over the output's length, in dB.
double Snr(const std::vector<short>& input, const std::vector<short>& output) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < output.size(); ++i)
    signal += std::pow(input[i], 2), noise += std::pow(input[i] - output[i], 2);
  return 10 * std::log10(signal / noise);
}

// 110, six bits of level, reflection codes of 6, 6, 4 and 4 bits, 3 spare.
std::vector<unsigned char> NoiseFrame(uint32_t level, uint32_t k1, uint32_t k2, uint32_t k3,
                                      uint32_t k4, uint32_t spare) {
  const uint32_t word = 0xC0000000u | level << 23 | k1 << 17 | k2 << 11 | k3 << 7 | k4 << 3 | spare;
  return {static_cast<unsigned char>(word >> 24), static_cast<unsigned char>(word >> 16),
          static_cast<unsigned char>(word >> 8), static_cast<unsigned char>(word)};
}

// Frames of every first byte, and records, decoded twice after a reset,
// with the byte after them and the samples' buffers filled differently:
// the same samples, so no byte past the frame read and all samples written.
TEST(VekLibrary, AnyBytesDecodeToOneFrameOrRecordExactly) {
  std::mt19937 random(31);
  std::vector<std::vector<unsigned char>> inputs;
  for (int i = 0; i < 3000; ++i) {
    auto& bytes = inputs.emplace_back((i < 2048 ? FrameLength(i % 256) : kVekRecordBytes) + 1);
    for (auto& byte : bytes) byte = i < 256 ? 0x00 : i < 512 ? 0xFF : random();
    if (i < 2048) bytes[0] = i % 256;
  }
  auto decode_all = [&](short fill) {
    vVek_Init_Dsp_Regs();
    std::vector<short> out;
    for (auto& bytes : inputs) {
      const bool record = bytes.size() == kVekRecordBytes + 1;
      bytes.back() = fill;
      std::vector<short> pcm((record ? kVekBlockSamples : kVekFrameSamples) + 16, fill);
      record ? vVek_Decode_Record(bytes.data(), pcm.data()) : vVek_Decode(pcm.data(), bytes.data());
      EXPECT_EQ(std::count(pcm.end() - 16, pcm.end(), fill), 16);
      out.insert(out.end(), pcm.begin(), pcm.end() - 16);
    }
    return out;
  };
  EXPECT_EQ(decode_all(0x5A5A), decode_all(-0x4321));
}

// Speech comes back, the history runs on; full-scale input is clamped, not
// wrapped; after it a reset coder repeats itself; and a record by hand.
TEST(VekLibrary, Records) {
  const std::vector<short> speech = LoadSpeech();
  const Records records = EncodeRecords(speech);
  const std::vector<short> decoded = DecodeRecords(records);
  EXPECT_GE(Snr(speech, decoded), 12.0);  // measured 13.4 dB
  const Records tail(records.begin() + records.size() / 2, records.end());
  const std::vector<short> tail_alone = DecodeRecords(tail);
  EXPECT_NE(tail_alone, std::vector<short>(decoded.end() - tail_alone.size(), decoded.end()));

  std::vector<short> square(64 * kVekBlockSamples);
  for (size_t i = 0; i < square.size(); ++i) square[i] = i / 8 % 2 ? -32768 : 32767;
  EXPECT_GE(Snr(square, DecodeRecords(EncodeRecords(square))), 20.0);  // measured: exact
  for (short level : {0, 32767, -32768}) {
    const auto steady = DecodeRecords(EncodeRecords(std::vector(square.size(), level)));
    for (size_t i = 4 * kVekBlockSamples; i < steady.size(); ++i)
      ASSERT_LE(std::abs(steady[i] - level), level ? 4096 : 2) << level << " at " << i;
  }
  EXPECT_EQ(EncodeRecords(speech), records);
  EXPECT_EQ(DecodeRecords(records), decoded);
  // No prediction, a step of 2^10: codes 00 01 10 11 are +-0.5 and +-1.5 steps.
  const auto pcm = DecodeRecords({{40, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B}});
  for (int i = 0; i < kVekBlockSamples; ++i)
    EXPECT_EQ(pcm[i], (std::array{512, 1536, -512, -1536}[i % 4])) << i;
}

// Noise whose neighbouring samples correlate as the filter's pole says.
TEST(VekLibrary, ComfortNoiseFollowsLevelAndTilt) {
  for (double pole : {0.9, 0.0, -0.7})
    for (double dbfs : {-70.0, -60.0, -45.0, -30.0, -20.0}) {
      std::mt19937 random(99);
      std::normal_distribution<double> white(0, 32768 * std::pow(10, dbfs / 20));
      std::vector<short> noise(50 * kVekFrameSamples);
      double previous = 0;
      for (short& sample : noise) sample = std::lround(previous = white(random) + pole * previous);
      const std::vector<short> out = FrameRoundTrip(noise, kVekFrameNoise);
      EXPECT_NEAR(20 * std::log10(Rms(out) / Rms(noise)), 0, 1.5) << pole << ", " << dbfs;
      const double lag1 = std::inner_product(out.begin() + 1, out.end(), out.begin(), 0.0);
      EXPECT_NEAR(lag1 / out.size() / std::pow(Rms(out), 2), pole, 0.15) << pole << ", " << dbfs;
    }
}

// Silence is zeros, whatever came before; the extreme coefficients, long
// enough for a runaway, leave no lasting harm.
TEST(VekLibrary, SilenceResetAndExtremeComfortNoise) {
  for (uint32_t bits = 0; bits < 32; ++bits) {
    DecodeRepeatedly(NoiseFrame(63, 63, 0, 15, 0, 0), 1);
    const std::vector<unsigned char> silence = {static_cast<unsigned char>(0xE0 | bits), 0xFF};
    for (const auto& frame : {silence, NoiseFrame(0, bits * 2, 63 - bits, bits % 16, 15, 7)})
      EXPECT_EQ(DecodeRepeatedly(frame, 1), std::vector<short>(kVekFrameSamples)) << int{frame[0]};
  }
  const std::vector<short> zeros(20 * kVekFrameSamples);
  EXPECT_EQ(FrameRoundTrip(zeros, kVekFrameNoise), zeros);

  const std::vector<unsigned char> ordinary = NoiseFrame(24, 32, 32, 8, 8, 0);
  vVek_Init_Decoder();
  const std::vector<short> first = DecodeRepeatedly(ordinary, 10);
  for (uint32_t ends = 0; ends < 32; ++ends) {
    vVek_Init_Decoder();
    DecodeRepeatedly(NoiseFrame(ends & 16 ? 63 : 1, ends & 1 ? 63 : 0, ends & 2 ? 63 : 0,
                                ends & 4 ? 15 : 0, ends & 8 ? 15 : 0, 7),
                     300);
    DecodeRepeatedly(ordinary, 10);
    EXPECT_NEAR(20 * std::log10(Rms(DecodeRepeatedly(ordinary, 10)) / Rms(first)), 0, 2) << ends;
  }
}

class VekTool : public ::testing::Test {
 protected:
  // Exit status and stdout then stderr, no shell between; `limit` caps the
  // size of any file it writes.
  std::pair<int, std::string> Tool(std::vector<std::string> args, uint64_t limit = 0) {
    args.insert(args.begin(), VEK_CODEC_TOOL);
    Program tool(args);
    tool.file_size_limit = limit;
    const ProgramResult run = RunProgram(tool);
    return {run.status, run.out + run.err};
  }

  std::string Path(const std::string& name) const { return dir_ / name; }

  TempDir dir_;
};

// The header, then the library's frames, the last one padded; high by default.
TEST_F(VekTool, PackAndUnpackGiveTheLibrarysBytes) {
  std::vector<short> speech = LoadSpeech();
  const size_t frames = (speech.size() + kVekFrameSamples - 1) / kVekFrameSamples;
  speech.resize(frames * kVekFrameSamples + kVekFrameLookahead);  // zeros past the end
  const std::tuple<std::vector<std::string>, int, int> modes[] = {
      {{"--mode", "high"}, 8000, 24},
      {{"--mode=mid"}, 8000, 18},
      {{"--mode", "low", "--rate", "16000"}, 16000, 11},
      {{"--rate=11025"}, 11025, 24}};
  for (auto [args, rate, type] : modes) {
    std::string expected = std::string("VEKDVR\0\1", 8) + char(rate) + char(rate >> 8);
    expected.resize(14);
    vVek_Init_Dsp_Regs();
    for (size_t at = 0; at < frames * kVekFrameSamples; at += kVekFrameSamples) {
      unsigned char frame[kVekMaxFrameBytes];
      ASSERT_EQ(vVek_Encode_Frame(&speech[at], type, frame), type);
      expected.append(reinterpret_cast<char*>(frame), type);
    }
    args.insert(args.begin(), {"pack", "--force"});  // each replaces the one before
    args.insert(args.end(), {kSpeech, Path("out.DVR")});
    ASSERT_EQ(Tool(args).first, 0);
    EXPECT_TRUE(ReadText(Path("out.DVR")) == expected) << ::testing::PrintToString(args);
  }
  const Records records = EncodeRecords(speech);
  std::string coded;
  for (const auto& record : records) coded.append(record.begin(), record.end());
  WriteText(Path("会议.rec"), coded);  // names beyond ASCII, on Windows too
  ASSERT_EQ(Tool({"unpack", Path("会议.rec"), Path("Besprechung Müller.pcm")}).first, 0);
  const std::vector<short> pcm = DecodeRecords(records);  // little-endian, as LoadSpeech checks
  EXPECT_TRUE(ReadText(Path("Besprechung Müller.pcm")) ==
              std::string(reinterpret_cast<const char*>(pcm.data()), pcm.size() * 2));
}

// Status, the file and the reason (or the usage), and nothing touched. A
// writer waits on the FIFO, so a tool that opens it does not hang. A failed
// write (at a size limit, as on a full disk) leaves no file, and an earlier
// output as it was.
TEST_F(VekTool, RefusalsSayWhyAndTouchNothing) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs and symbolic links are POSIX-only here";
#else
  const std::string in = Path("in.pcm"), hard = Path("hard.pcm"), soft = Path("soft.pcm");
  const std::string fifo = Path("fifo"), missing = Path("missing");
  const std::string out = Path("out"), same = ": it is the input file";
  const std::string taken = " exists; not replaced (--force replaces it)\n";
  WriteText(in, ReadText(kSpeech));  // 2 bytes past its last whole record
  fs::create_hard_link(in, hard);
  fs::create_symlink(in, soft);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string too_large = ": " + std::string(std::strerror(EFBIG)) + "; ";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
    uint64_t limit = 0;
  };
  const Case cases[] = {
      {{}, 2, "usage:"},
      {{"pack", "--mode", "loud", in, out}, 2, "usage:"},
      {{"pack", "--rate", "0", in, out}, 2, "usage:"},
      {{"unpack", in, out, "--help"}, 0, "usage:"},
      {{"unpack", in, out}, 1, in + " ends in a partial record"},
      {{"pack", missing, out}, 1, "cannot open " + missing + ": " + std::strerror(ENOENT)},
      {{"pack", fifo, out}, 1, "cannot open " + fifo + ": not a regular file"},
      {{"pack", in, missing + "/x"}, 1, missing + "/x: " + std::strerror(ENOENT)},
      {{"pack", "--force", in, fifo}, 1, "cannot write " + fifo + ": not a regular file"},
      {{"pack", in, in}, 1, "cannot write " + in + same},
      {{"pack", in, hard}, 1, "cannot write " + hard + same + " " + in},
      {{"unpack", in, soft}, 1, "cannot write " + soft + same + " " + in},
      {{"pack", kSpeech, in}, 1, "vek-codec: " + in + taken},
      {{"unpack", kSpeech, soft}, 1, "vek-codec: " + soft + taken},
      {{"pack", "--force", kSpeech, in}, 1, in + too_large + in + " is left as it was\n", 4096},
      {{"pack", kSpeech, out}, 1, out + too_large + "nothing written\n", 4096}};
  for (const auto& [args, status, message, limit] : cases) {
    const pid_t writer = fork();
    if (writer == 0) _exit(open(fifo.c_str(), O_WRONLY) < 0);
    const auto outcome = Tool(args, limit);
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    EXPECT_EQ(outcome.first, status) << ::testing::PrintToString(args);
    EXPECT_NE(outcome.second.find(message), std::string::npos) << outcome.second;
    EXPECT_TRUE(ReadText(in) == ReadText(kSpeech) && fs::equivalent(in, hard) &&
                fs::is_symlink(soft) && fs::is_fifo(fifo));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), {}),
              4);  // those, and nothing else
  }
#endif
}

// A codec library without the tool's entry points, in the folder the tool
// searches (the recording codec, here), is named, and nothing is written.
TEST_F(VekTool, ACodecWithoutItsEntryPointsIsNamed) {
#ifdef _WIN32
  const std::string codec = "Vek.dll", tool = Path("vek-codec.exe"), env;
  fs::copy_file(VEK_CODEC_TOOL, tool);
#else
  const std::string codec = "libVek.so", tool = VEK_CODEC_TOOL;
  const std::string env = "LD_LIBRARY_PATH=" + ondavo::Utf8FromPath(dir_.path());
#endif
  fs::copy_file(RecordingCodecPath(), Path(codec));
  Program pack({tool, "pack", kSpeech, Path("out.DVR")});
  if (!env.empty()) pack.env = {env};
  const ProgramResult run = RunProgram(pack);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "vek-codec: codec library " + codec +
                         " has no entry point vVek_Encode_Frame; nothing written\n");
  EXPECT_FALSE(fs::exists(Path("out.DVR")));
}

}  // namespace
