// The two commands on real files, with the recording codec: what they write,
// what they ask of the codec, what they tell the host, how they name the
// output and what they do with a file already there.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "decode_command.h"
#include "dvr_format.h"
#include "encode_command.h"
#include "output_name.h"
#include "recording_codec.h"
#include "test_support.h"

namespace ondavo {
namespace {

using namespace testing;
namespace fs = std::filesystem;
using Command = int (*)(ConversionHost&, const ConversionOptions&);

class CommandTest : public ::testing::Test {
 protected:
  // Runs `command` on dir/name, holding `bytes` unless they are empty; the
  // frame counts are kept in counts_.
  int Run(Command command, const std::string& name, const std::vector<uint8_t>& bytes,
          ConversionOptions options = {}) {
    if (!bytes.empty()) WriteBytes(dir_ / name, bytes);
    host_ = RecordingHost(dir_ / name);
    std::FILE* counts = std::tmpfile();
    options.frame_counts = counts;
    int result = command(host_, options);
    std::rewind(counts);
    counts_.assign(64, '\0');
    counts_.resize(std::fread(counts_.data(), 1, counts_.size(), counts));
    std::fclose(counts);
    return result;
  }
  // The one message of the last run.
  Message Told() const { return host_.messages.size() == 1 ? host_.messages[0] : Message{}; }
  void Clear() {
    fs::remove_all(dir_.path());
    fs::create_directory(dir_.path());
  }

  RecordingCodec codec_;
  TempDir dir_;
  RecordingHost host_{""};
  std::string counts_;
};

TEST_F(CommandTest, DecodeWritesEveryWholeFrameUnderATrueHeader) {
  // 24, 2, 2, 11, 18 and 4 bytes back to back, then a 24-byte frame cut short.
  std::vector<uint8_t> body;
  for (uint8_t first : {0x80, 0xE1, 0xFF, 0x3F, 0x40, 0xC5}) {
    std::vector<uint8_t> frame = Frames(1, first);
    body.insert(body.end(), frame.begin(), frame.end());
  }
  body.insert(body.end(), {0x80, 1, 2});
  std::vector<uint8_t> file = DvrFile(8000, body);
  ASSERT_EQ(Run(DecodeCommand, "a.DVR", file), 0);
  EXPECT_EQ(host_.messages,
            (std::vector<Message>{
                {FormatMessage(kCutFrameWarning, dir_ / "a.DVR"), MessageKind::kWarning},
                {FormatMessage(kDecodeFinished, dir_ / "a.WAV"), MessageKind::kFinished}}));
  EXPECT_EQ(codec_.calls(),
            (std::vector<std::string>{"dsp", "dec", "D80" + std::string(46, '0'), "De100", "Dff00",
                                      "D3f" + std::string(20, '0'), "D40" + std::string(34, '0'),
                                      "Dc5000000"}));
  std::vector<uint8_t> wav = ReadBytes(dir_ / "a.WAV");
  ASSERT_EQ(wav.size(), WavSize(6));
  const uint8_t kFixed[] = {'R',  'I',  'F', 'F', 0, 0, 0,  0, 'W', 'A', 'V',  'E',  'f', 'm',
                            't',  ' ',  16,  0,   0, 0, 1,  0, 1,   0,   0x40, 0x1F, 0,   0,
                            0x80, 0x3E, 0,   0,   2, 0, 16, 0, 'd', 'a', 't',  'a'};
  for (size_t i = 0; i < sizeof kFixed; ++i) {
    if (i < 4 || i >= 8) {
      EXPECT_EQ(wav[i], kFixed[i]) << "header byte " << i;
    }
  }
  EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
  EXPECT_EQ(Le32(wav, 40), 6u * 320);
  // The codec's samples (its frame's first byte, then the sample's index),
  // little-endian, frame after frame.
  const uint8_t kFirst[] = {0x80, 0xE1, 0xFF, 0x3F, 0x40, 0xC5};
  for (int f = 0; f < 6; ++f) {
    for (int i = 0; i < 160; i += 53) {
      EXPECT_EQ(wav[WavSize(f) + i * 2], i);
      EXPECT_EQ(wav[WavSize(f) + i * 2 + 1], kFirst[f]);
    }
  }
  // Only the rate bytes of the header count.
  for (int i : {0, 7, 10, 13}) file[i] ^= 0x5A;
  ASSERT_EQ(Run(DecodeCommand, "a.DVR", file), 0);
  EXPECT_EQ(ReadBytes(dir_ / "a.WAV"), wav);
}

TEST_F(CommandTest, DecodeTakesOnlyAHeaderWithARate) {
  struct Case {
    std::vector<uint8_t> file;
    int result;
    std::string told;  // for a refusal
    size_t wav_size;
  };
  const std::vector<uint8_t> header = DvrFile(16000, {});
  const Case cases[] = {
      {header, 0, "", WavSize(0)},
      {{header.begin(), header.begin() + 12}, 0, "", WavSize(0)},
      {{header.begin(), header.begin() + 9}, -1, "it ends inside its header", 0},
      {DvrFile(0, Frames(3, 0x80)), -1, "its header gives a sample rate of 0", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.size());
    fs::remove(dir_ / "a.WAV");
    EXPECT_EQ(Run(DecodeCommand, "a.DVR", c.file), c.result);
    if (c.result == 0) {
      std::vector<uint8_t> wav = ReadBytes(dir_ / "a.WAV");
      ASSERT_EQ(wav.size(), c.wav_size);
      EXPECT_EQ(Le32(wav, 24), 16000u);
      EXPECT_EQ(Le32(wav, 40), 0u);
    } else {
      EXPECT_EQ(Told().text,
                "File " + dir_ / "a.DVR" + " is not a coded voice recording (" + c.told + ")");
      EXPECT_FALSE(fs::exists(dir_ / "a.WAV"));
    }
  }
  EXPECT_EQ(codec_.calls(), (std::vector<std::string>{"dsp", "dec", "dsp", "dec"}));
}

TEST_F(CommandTest, DecodeShowsProgressCountsAndPumps) {
  ASSERT_EQ(Run(DecodeCommand, "a.DVR", DvrFile(8000, Frames(600, 0xE0))), 0);
  EXPECT_EQ(counts_, "256 frames\r512 frames\r");
  EXPECT_EQ(host_.pumps, 600);
  ASSERT_GE(host_.positions.size(), 3u);
  // The bytes read so far: the first frame starts after the 14-byte header,
  // at 1% of 1214 bytes, and the last at byte 14 + 599 * 2, 99%; then 100.
  EXPECT_EQ(host_.positions.front(), 1);
  EXPECT_TRUE(std::is_sorted(host_.positions.begin(), host_.positions.end()));
  EXPECT_EQ(host_.positions.end()[-2], 99);
  EXPECT_EQ(host_.positions.back(), 100);
}

TEST_F(CommandTest, EncodeWritesTheFirstNineBytesOfEachBlock) {
  std::vector<uint8_t> pcm(300 * 64 + 5);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i * 7 + 1);
  ASSERT_EQ(Run(EncodeCommand, "voice.pcm", pcm), 0);
  EXPECT_EQ(Told(),
            (Message{FormatMessage(kEncodeFinished, dir_ / "voice.DVR"), MessageKind::kFinished}));
  std::vector<uint8_t> coded = ReadBytes(dir_ / "voice.DVR");
  ASSERT_EQ(coded.size(), 301u * 9);
  for (size_t block = 0; block < 300; ++block) {
    ASSERT_TRUE(std::equal(&coded[block * 9], &coded[block * 9 + 9], &pcm[block * 64])) << block;
  }
  // A last, short block is padded with silence.
  EXPECT_EQ(std::vector<uint8_t>(coded.end() - 9, coded.end()),
            (std::vector<uint8_t>{pcm[19200], pcm[19201], pcm[19202], pcm[19203], pcm[19204], 0, 0,
                                  0, 0}));
  EXPECT_EQ(counts_, "256 frames\r512 frames\r602\n");
  EXPECT_EQ(codec_.calls().size(), 2u + 301);
  EXPECT_EQ(codec_.calls()[1], "enc");
  EXPECT_EQ(host_.pumps, 301);
  EXPECT_EQ(host_.positions.size(), 101u);  // each percent once
  EXPECT_EQ(host_.positions.back(), 100);
}

TEST_F(CommandTest, RefusesPathsWithoutTheMarkerAndOpensNothing) {
  struct Case {
    Command command;
    const char* name;
    const char* told;
  };
  const Case cases[] = {{DecodeCommand, "a.dvr", kDecodeRefusal},
                        {DecodeCommand, "a.WAV", kDecodeRefusal},
                        {EncodeCommand, "voice.PCM", kEncodeRefusal},
                        {EncodeCommand, "voice.raw", kEncodeRefusal}};
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.command, c.name, {}), 0) << c.name;
    EXPECT_EQ(Told(), (Message{c.told, MessageKind::kRefused})) << c.name;
  }
  RecordingHost nothing_chosen("");
  EXPECT_EQ(DecodeCommand(nothing_chosen, {}), 0);
  EXPECT_EQ(nothing_chosen.messages.at(0).text, kDecodeRefusal);
  EXPECT_TRUE(codec_.calls().empty());
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(CommandTest, FailuresBeforeTheLoopSayWhyAndWriteNothing) {
  fs::create_directory(dir_ / "folder.DVR");
  fs::create_directory(dir_ / "b.WAV");
  WriteBytes(dir_ / "b.DVR", DvrFile(8000, Frames(1, 0xE0)));
  fs::create_directory(dir_ / "rec.DVR");  // rec.DVR/c.WAV names itself
  WriteBytes(dir_ / "d.DVR", DvrFile(8000, Frames(1, 0xE0)));
  fs::create_hard_link(dir_ / "d.DVR", dir_ / "d.WAV");
  WriteBytes(dir_ / "e.DVR", {});
  struct Case {
    Command command;
    std::string name;
    std::vector<uint8_t> bytes;
    std::string told;
  };
  const Case cases[] = {
      {DecodeCommand, "a.DVR", {}, "Can't open file %s (No such file or directory)"},
      {EncodeCommand, "a.pcm", {}, "Can't open file %s (No such file or directory)"},
      {DecodeCommand, "folder.DVR", {}, "Can't open file %s (Is a directory)"},
      {DecodeCommand, "e.DVR", {}, kEmptyMessage},
      {DecodeCommand, "b.DVR", {}, "Can't open file " + dir_ / "b.WAV" + " (Is a directory)"},
      {DecodeCommand, "rec.DVR/c.WAV", DvrFile(8000, {}),
       "Can't write file %s over the input file"},
      {DecodeCommand, "d.DVR", {}, "Can't write file " + dir_ / "d.WAV" + " over the input file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run(c.command, c.name, c.bytes), -1);
    EXPECT_EQ(Told(),
              (Message{FormatMessage(c.told.c_str(), dir_ / c.name), MessageKind::kFailed}));
  }
  EXPECT_TRUE(codec_.calls().empty());
  EXPECT_EQ(ReadBytes(dir_ / "d.DVR"), DvrFile(8000, Frames(1, 0xE0)));
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"b.DVR", "b.WAV", "d.DVR", "d.WAV", "e.DVR",
                                                    "folder.DVR", "rec.DVR", "rec.DVR/c.WAV"}));
}

// Each command asks only for the entry points it calls.
TEST_F(CommandTest, AMissingCodecOrEntryPointIsNamed) {
  struct Case {
    std::string library;
    Command command;
    const char* name;
    std::string told;
  };
  const std::string decoder = PartialCodecPath(CodecUse::kDecode);
  const std::string encoder = PartialCodecPath(CodecUse::kEncode);
  const Case cases[] = {
      {"libOndavoNoSuchCodec.so", DecodeCommand, "a.DVR",
       "Can't load codec library libOndavoNoSuchCodec.so (libOndavoNoSuchCodec.so: cannot open "
       "shared object file: No such file or directory)"},
      {decoder, EncodeCommand, "a.pcm",
       "Codec library " + decoder + " has no entry point vVek_Init_Encoder"},
      {encoder, DecodeCommand, "a.DVR",
       "Codec library " + encoder + " has no entry point vVek_Init_Decoder"},
      {decoder, DecodeCommand, "a.DVR", ""},
      {encoder, EncodeCommand, "a.pcm", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library);
    BindCodecLibrary(c.library);
    Clear();
    EXPECT_EQ(Run(c.command, c.name, DvrFile(8000, Frames(2, 0xE0))), c.told.empty() ? 0 : -1);
    if (!c.told.empty()) {
      EXPECT_EQ(Told(), (Message{c.told, MessageKind::kFailed}));
      EXPECT_EQ(dir_.Names(), std::vector<std::string>{c.name});
    }
  }
}

TEST(FormatTest, EveryFirstByteGivesItsFramesLength) {
  for (int first = 0; first < 256; ++first) {
    EXPECT_EQ(DvrFrameLength(static_cast<uint8_t>(first)),
              FrameLength(static_cast<uint8_t>(first)));
  }
}

TEST(FormatTest, OutputNameCutsTheFileNameAtItsFirstDot) {
  const std::string long_folder(3000, 'f'), long_name(300, 'n');
  struct Case {
    const char* input;
    const char* extension;
    const char* folder;
    const char* output;
  };
  const Case cases[] = {
      {"rec/a.DVR", "WAV", "", "rec/a.WAV"},
      {"rec/a.b.DVR", "WAV", "", "rec/a.WAV"},
      {"rec/a.DVR.old", "WAV", "", "rec/a.WAV"},
      {"rec.2007/a.DVR", "WAV", "", "rec.2007/a.WAV"},
      {"./x/a.b.DVR", "WAV", "", "./x/a.WAV"},
      {"v1.2/voice.old.pcm", "DVR", "", "v1.2/voice.DVR"},
      {"rec.DVR/a", "WAV", "", "rec.DVR/a.WAV"},
      {"rec.2007/a.b.DVR", "WAV", "out", "out/a.WAV"},
      {"a.DVR", "WAV", "out/", "out/a.WAV"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OutputPathFor(c.input, c.extension, c.folder), c.output) << c.input;
  }
  EXPECT_EQ(OutputPathFor(long_folder + "/" + long_name + ".DVR", "WAV"),
            long_folder + "/" + long_name + ".WAV");
}

// Decode replaces an earlier WAV; encode never replaces a file unless told,
// since a .DVR file may be a recording.
TEST_F(CommandTest, AnExistingOutputIsReplacedSkippedRefusedOrAskedAbout) {
  struct Case {
    Command command;
    const char* name;
    const char* output;
    std::optional<ExistingOutput> rule;
    bool answer;  // to kAsk
    MessageKind kind;
    bool replaced;
  };
  const Case cases[] = {
      {DecodeCommand, "a.DVR", "a.WAV", {}, false, MessageKind::kFinished, true},
      {DecodeCommand, "a.DVR", "a.WAV", ExistingOutput::kSkip, false, MessageKind::kSkipped, false},
      {EncodeCommand, "a.pcm", "a.DVR", {}, false, MessageKind::kFailed, false},
      {EncodeCommand, "a.pcm", "a.DVR", ExistingOutput::kReplace, false, MessageKind::kFinished,
       true},
      {EncodeCommand, "a.pcm", "a.DVR", ExistingOutput::kAsk, true, MessageKind::kFinished, true},
      {EncodeCommand, "a.pcm", "a.DVR", ExistingOutput::kAsk, false, MessageKind::kFinished, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " +
                 std::to_string(static_cast<int>(c.rule.value_or(ExistingOutput::kReplace))));
    const std::vector<uint8_t> earlier = {'k', 'e', 'e', 'p'};
    Clear();
    WriteBytes(dir_ / c.output, earlier);
    ::chmod((dir_ / c.output).c_str(), 0640);
    ConversionOptions options;
    options.existing_output = c.rule;
    std::vector<std::string> asked;
    options.confirm_replace = [&](const std::string& output) {
      asked.push_back(output);
      return c.answer;
    };
    int result = Run(c.command, c.name, DvrFile(8000, Frames(2, 0xE0)), options);
    EXPECT_EQ(ReadBytes(dir_ / c.output) != earlier, c.replaced);
    EXPECT_EQ(fs::status(dir_ / c.output).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(asked.size(), c.rule == ExistingOutput::kAsk ? 1u : 0u);
    if (c.rule == ExistingOutput::kAsk && !c.answer) {
      EXPECT_EQ(result, 0);
      EXPECT_TRUE(host_.messages.empty());
    } else if (!c.replaced) {
      EXPECT_EQ(Told(), (Message{FormatMessage(kExistsMessage, dir_ / c.output), c.kind}));
    } else {
      EXPECT_EQ(Told().kind, c.kind);
    }
    EXPECT_EQ(dir_.Names().size(), 2u);  // no temporary file left
  }
}

// A host that tries to start a second decode from inside its pump, as a
// window does when the user clicks Decode again.
class ReenteringHost : public RecordingHost {
 public:
  using RecordingHost::RecordingHost;
  void PumpMessages() override {
    if (pumps++ == 0) {
      RecordingHost inner(ChosenPath());
      nested_result = DecodeCommand(inner);
      nested = inner.messages;
    }
  }
  int nested_result = 0;
  std::vector<Message> nested;
};

TEST_F(CommandTest, ASecondConversionWhileOneRunsIsRefused) {
  WriteBytes(dir_ / "a.DVR", DvrFile(8000, Frames(3, 0x80)));
  ReenteringHost host(dir_ / "a.DVR");
  ASSERT_EQ(DecodeCommand(host), 0);
  EXPECT_EQ(host.nested_result, -1);
  EXPECT_EQ(host.nested, (std::vector<Message>{{kBusyMessage, MessageKind::kRefused}}));
  EXPECT_EQ(ReadBytes(dir_ / "a.WAV").size(), WavSize(3));
  EXPECT_EQ(codec_.calls().size(), 5u);  // dsp, dec and three frames: no second reset
}

}  // namespace
}  // namespace ondavo
