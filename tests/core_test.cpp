// The two commands with the recording codec, on real files and on files in
// memory that fail on demand: what they write, ask of the codec and tell
// the host; how they name the output and treat a file already there; and
// that a failed run leaves the earlier output and no temporary file.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

#include "decode_command.h"
#include "dvr_format.h"
#include "encode_command.h"
#include "fake_file_system.h"
#include "output_name.h"
#include "recording_codec.h"
#include "stop_signals.h"
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
  const uint8_t kFirst[] = {0x80, 0xE1, 0xFF, 0x3F, 0x40, 0xC5};
  std::vector<uint8_t> body;
  for (uint8_t first : kFirst) {
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
  std::string header(wav.begin(), wav.begin() + 44);
  EXPECT_EQ(header, std::string("RIFF\xA4\x07\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x80\x3E"
                                "\0\0\x02\0\x10\0data\x80\x07\0\0",
                                44));
  // The codec's samples (the frame's first byte, then the sample's index),
  // little-endian, frame after frame.
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
  const std::vector<uint8_t> header = DvrFile(16000, {});
  const std::pair<std::vector<uint8_t>, std::string> cases[] = {
      {header, ""},
      {{header.begin(), header.begin() + 12}, ""},
      {{header.begin(), header.begin() + 9}, "it ends inside its header"},
      {DvrFile(0, Frames(3, 0x80)), "its header gives a sample rate of 0"},
  };
  for (const auto& [file, refusal] : cases) {
    fs::remove(dir_ / "a.WAV");
    EXPECT_EQ(Run(DecodeCommand, "a.DVR", file), refusal.empty() ? 0 : -1);
    if (refusal.empty()) {
      std::vector<uint8_t> wav = ReadBytes(dir_ / "a.WAV");
      EXPECT_EQ(wav.size(), WavSize(0));
      EXPECT_EQ(Le32(wav, 24), 16000u);
    } else {
      EXPECT_EQ(Told().text, NotARecordingMessage(dir_ / "a.DVR", refusal));
      EXPECT_FALSE(fs::exists(dir_ / "a.WAV"));
    }
  }
  EXPECT_EQ(codec_.calls(), (std::vector<std::string>{"dsp", "dec", "dsp", "dec"}));
}

TEST_F(CommandTest, DecodeShowsProgressCountsAndPumps) {
  ASSERT_EQ(Run(DecodeCommand, "a.DVR", DvrFile(8000, Frames(600, 0xE0))), 0);
  EXPECT_EQ(counts_, "256 frames\r512 frames\r");
  EXPECT_EQ(host_.pumps, 600);
  // The bytes read: the first frame starts after the header, 1% of 1214
  // bytes, the last at byte 14 + 599 * 2, 99%; then 100.
  ASSERT_GE(host_.positions.size(), 3u);
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
  for (size_t block = 0; block < 301; ++block) {
    std::vector<uint8_t> expected(9, 0);  // a last, short block is padded with silence
    std::copy_n(&pcm[block * 64], std::min<size_t>(9, pcm.size() - block * 64), expected.begin());
    ASSERT_TRUE(std::equal(expected.begin(), expected.end(), &coded[block * 9])) << block;
  }
  EXPECT_EQ(counts_, "256 frames\r512 frames\r602\n");
  EXPECT_EQ(codec_.calls().size(), 2u + 301);
  EXPECT_EQ(codec_.calls()[1], "enc");
  EXPECT_EQ(host_.pumps, 301);
  EXPECT_EQ(host_.positions.size(), 101u);  // each percent once
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
    std::string name, told;
    MessageKind kind = MessageKind::kFailed;
  };
  const Case cases[] = {
      {DecodeCommand, "a.dvr", kDecodeRefusal, MessageKind::kRefused},
      {EncodeCommand, "voice.PCM", kEncodeRefusal, MessageKind::kRefused},
      {DecodeCommand, "a.DVR", "Can't open file %s (No such file or directory)"},
      {EncodeCommand, "a.pcm", "Can't open file %s (No such file or directory)"},
      {DecodeCommand, "folder.DVR", "Can't open file %s (Is a directory)"},
      {DecodeCommand, "e.DVR", kEmptyMessage},
      {DecodeCommand, "b.DVR", "Can't open file " + dir_ / "b.WAV" + " (Is a directory)"},
      {DecodeCommand, "rec.DVR/c.WAV", "Can't write file %s over the input file"},
      {DecodeCommand, "d.DVR", "Can't write file " + dir_ / "d.WAV" + " over the input file"},
  };
  WriteBytes(dir_ / "rec.DVR/c.WAV", DvrFile(8000, {}));
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.command, c.name, {}), c.kind == MessageKind::kRefused ? 0 : -1) << c.name;
    EXPECT_EQ(Told(), (Message{FormatMessage(c.told.c_str(), dir_ / c.name), c.kind}));
  }
  EXPECT_TRUE(codec_.calls().empty());
  EXPECT_EQ(ReadBytes(dir_ / "d.DVR"), DvrFile(8000, Frames(1, 0xE0)));
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"b.DVR", "b.WAV", "d.DVR", "d.WAV", "e.DVR",
                                                    "folder.DVR", "rec.DVR", "rec.DVR/c.WAV"}));
}

// Each command asks only for the entry points it calls.
TEST_F(CommandTest, ACodecWithoutAnEntryPointIsNamed) {
  const std::string decoder = PartialCodecPath(CodecUse::kDecode);
  const std::string encoder = PartialCodecPath(CodecUse::kEncode);
  const std::tuple<std::string, Command, const char*, std::string> cases[] = {
      {decoder, EncodeCommand, "a.pcm",
       "Codec library " + decoder + " has no entry point vVek_Init_Encoder"},
      {encoder, DecodeCommand, "a.DVR",
       "Codec library " + encoder + " has no entry point vVek_Init_Decoder"},
      {decoder, DecodeCommand, "a.DVR", ""},
      {encoder, EncodeCommand, "a.pcm", ""},
  };
  for (const auto& [library, command, name, told] : cases) {
    BindCodecLibrary(library);
    Clear();
    EXPECT_EQ(Run(command, name, DvrFile(8000, Frames(2, 0xE0))), told.empty() ? 0 : -1);
    if (!told.empty()) {
      EXPECT_EQ(dir_.Names(), std::vector<std::string>{name});
      EXPECT_EQ(Told(), (Message{told, MessageKind::kFailed}));
    }
  }
}

TEST(FormatTest, FrameLengthsAndOutputNames) {
  for (int first = 0; first < 256; ++first) {
    EXPECT_EQ(DvrFrameLength(static_cast<uint8_t>(first)),
              FrameLength(static_cast<uint8_t>(first)));
  }
  const std::string long_folder(3000, 'f'), long_name(300, 'n');
  const std::tuple<std::string, const char*, const char*, std::string> cases[] = {
      {"rec/a.b.DVR", "WAV", "", "rec/a.WAV"},
      {"rec/a.DVR.old", "WAV", "", "rec/a.WAV"},
      {"rec.2007/a.DVR", "WAV", "", "rec.2007/a.WAV"},
      {"v1.2/voice.old.pcm", "DVR", "", "v1.2/voice.DVR"},
      {"rec.DVR/a", "WAV", "", "rec.DVR/a.WAV"},
      {"rec.2007/a.b.DVR", "WAV", "out", "out/a.WAV"},
      {"a.DVR", "WAV", "out/", "out/a.WAV"},
      {long_folder + "/" + long_name + ".DVR", "WAV", "", long_folder + "/" + long_name + ".WAV"},
#ifdef _WIN32
      {"C:\\rec.2007\\a.b.DVR", "WAV", "D:\\out\\", "D:\\out\\a.WAV"},
      {"\\\\server\\share.1/rec\\a.b.DVR", "WAV", "", "\\\\server\\share.1/rec\\a.WAV"},
#endif
  };
  for (const auto& [input, extension, folder, output] : cases) {
    EXPECT_EQ(OutputPathFor(input, extension, folder), output);
  }
}

// Decode replaces an earlier WAV; encode never replaces a file unless told,
// since a .DVR file may be a recording. A replaced file's permissions stay.
TEST_F(CommandTest, AnExistingOutputIsReplacedSkippedRefusedOrAskedAbout) {
  struct Case {
    Command command;
    std::optional<ExistingOutput> rule;
    bool answer;  // to kAsk
    MessageKind kind;
    bool replaced;
  };
  const Case cases[] = {
      {DecodeCommand, {}, false, MessageKind::kFinished, true},
      {DecodeCommand, ExistingOutput::kSkip, false, MessageKind::kSkipped, false},
      {EncodeCommand, {}, false, MessageKind::kFailed, false},
      {EncodeCommand, ExistingOutput::kReplace, false, MessageKind::kFinished, true},
      {EncodeCommand, ExistingOutput::kAsk, true, MessageKind::kFinished, true},
      {EncodeCommand, ExistingOutput::kAsk, false, MessageKind::kFinished, false},
  };
  for (const Case& c : cases) {
    const bool encode = c.command == EncodeCommand;
    const std::string output = dir_ / (encode ? "a.DVR" : "a.WAV");
    Clear();
    WriteBytes(output, {'k', 'e', 'e', 'p'});
    ::chmod(output.c_str(), 0640);  // on Windows, only whether it is read-only
    const fs::perms permissions = fs::status(output).permissions();
    ConversionOptions options;
    options.existing_output = c.rule;
    int asked = 0;
    options.confirm_replace = [&](const std::string& name) {
      return ++asked && name == output && c.answer;
    };
    int result =
        Run(c.command, encode ? "a.pcm" : "a.DVR", DvrFile(8000, Frames(2, 0xE0)), options);
    EXPECT_EQ(ReadBytes(output).size() != 4, c.replaced);
    EXPECT_EQ(fs::status(output).permissions(), permissions);
    EXPECT_EQ(asked, c.rule == ExistingOutput::kAsk ? 1 : 0);
    EXPECT_EQ(dir_.Names().size(), 2u);  // no temporary file left
    if (c.rule == ExistingOutput::kAsk && !c.answer) {
      EXPECT_EQ(result, 0);
      EXPECT_TRUE(host_.messages.empty());
    } else {
      EXPECT_EQ(Told().kind, c.kind);
      if (!c.replaced) {
        EXPECT_EQ(Told().text, FormatMessage(kExistsMessage, output));
      }
    }
  }
}

std::string Failed(const std::string& first_line, const std::string& output = "a.WAV") {
  return first_line + "\n" + FormatMessage(kNothingWrittenMessage, output);
}
std::string Because(const std::string& what, int error) {
  return what + " (" + std::strerror(error) + ")";
}

TEST(FaultTest, AFailedRunLeavesTheEarlierOutputAndNoTemporaryFile) {
  volatile std::sig_atomic_t stop = 0;
  const std::tuple<bool, std::function<void(FakeFileSystem&)>, std::string> faults[] = {
      {false, [](auto& f) { f.disk_space = 20; },
       Failed(Because("Can't write file a.WAV", ENOSPC))},
      {false, [](auto& f) { f.disk_space = WavSize(700) + 100; },
       Failed(Because("Can't write file a.WAV", ENOSPC))},
      {false, [](auto& f) { f.read_error_at = 14 + 18 * 300 + 5; },
       Failed(Because("Can't read file a.DVR", EIO))},
      {false, [](auto& f) { f.size_error = EIO; }, Because("Can't read file a.DVR", EIO)},
      {false, [](auto& f) { f.close_error = EIO; }, Failed(Because("Can't write file a.WAV", EIO))},
      {false, [](auto& f) { f.sync_error = EIO; }, Failed(Because("Can't write file a.WAV", EIO))},
      {false, [](auto& f) { f.input_close_error = EIO; },
       Failed(Because("Can't read file a.DVR", EIO))},
      {false, [](auto& f) { f.write_at_error = EIO; },
       Failed(Because("Can't update the header of file a.WAV", EIO))},
      {false, [](auto& f) { f.rename_error = EACCES; },
       Failed(Because("Can't write file a.WAV", EACCES))},
      {false, [&](auto&) { stop = 1; }, FormatMessage(kStoppedMessage, "a.WAV")},
      {false, [](auto& f) { f.disk_space = 100, f.remove_error = EIO; },
       Failed(Because("Can't write file a.WAV", ENOSPC)) + "\n" +
           Because("Can't remove file a.ondavo-part-1", EIO)},
      {true, [](auto& f) { f.disk_space = 9 * 500 + 4; },
       Failed(Because("Can't write file a.DVR", ENOSPC), "a.DVR")},
      {true, [](auto& f) { f.read_error_at = 10 * 64 + 3; },
       Failed(Because("Can't read file a.pcm", EIO), "a.DVR")},
  };
  RecordingCodec codec(true);
  for (const auto& [encode, set_up, told] : faults) {
    FakeFileSystem files;
    files.AddInput("a.DVR", DvrFile(8000, Frames(1000, 0x40)));
    files.AddInput("a.pcm", std::vector<uint8_t>(1000 * 64, 1));
    const std::string output = encode ? "a.DVR" : "a.WAV";
    files.AddFile(output, {'o', 'l', 'd'});
    stop = 0;
    set_up(files);
    RecordingHost host(encode ? "a.pcm" : "a.DVR");
    ConversionOptions options;
    options.file_system = &files;
    options.frame_counts = nullptr;
    options.stop_request = &stop;
    options.existing_output = ExistingOutput::kReplace;
    EXPECT_EQ((encode ? EncodeCommand : DecodeCommand)(host, options), -1);
    EXPECT_EQ(host.messages, (std::vector<Message>{{told, MessageKind::kFailed}}));
    EXPECT_EQ(files.output(output).head, (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(files.temporary_files(), files.remove_error != 0 ? 1u : 0u) << told;
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

// What only a POSIX file system shows. A FIFO would hold an open() until a
// writer came, and a device is no recording: both are refused at once. A
// link at the output's name goes, the file it named stays, and the new
// output has the permissions any new file gets. A signal that ends the
// program (the window's way) takes the unfinished output with it.
TEST(RealFilesTest, FifosDevicesLinksAndSignals) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs, devices, symbolic links, the umask and signals are POSIX-only";
#else
  RecordingCodec codec;
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo.DVR").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((dir / "fifo.pcm").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero.DVR");
  for (std::string name : {"fifo.DVR", "fifo.pcm", "zero.DVR"}) {
    RecordingHost host(dir / name);
    EXPECT_EQ((name.ends_with(".pcm") ? EncodeCommand : DecodeCommand)(host, {}), -1);
    EXPECT_EQ(host.messages.at(0).text, "Can't open file " + dir / name + " (Not a regular file)");
  }
  EXPECT_TRUE(codec.calls().empty());
  WriteBytes(dir / "notes.txt", {'n'});
  fs::create_symlink("notes.txt", dir / "a.WAV");
  WriteBytes(dir / "a.DVR", DvrFile(8000, Frames(2, 0xE0)));
  mode_t umask = ::umask(027);
  RecordingHost host(dir / "a.DVR");
  EXPECT_EQ(DecodeCommand(host, {}), 0);
  ::umask(umask);
  EXPECT_EQ(ReadBytes(dir / "notes.txt"), std::vector<uint8_t>{'n'});
  EXPECT_FALSE(fs::is_symlink(dir / "a.WAV"));
  EXPECT_EQ(fs::status(dir / "a.WAV").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EXIT(
      {
        EndOnSignals();
        std::unique_ptr<OutputFile> file;
        std::string temporary;
        DefaultFileSystem()->CreateTemporary(dir / "b.WAV", &file, &temporary);
        std::raise(SIGTERM);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.DVR", "a.WAV", "fifo.DVR", "fifo.pcm",
                                                   "notes.txt", "zero.DVR"}));
#endif
}

}  // namespace
}  // namespace ondavo
