// The two commands with the recording codec, on real files and on files in
// memory that fail on demand: what they tell the host of each failure, how
// they name the output, and that a failed run leaves the earlier output and
// no temporary file. What they write is the fuzz target io_faults' to check.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

#include "decode_command.h"
#include "encode_command.h"
#include "encoded_audio_writer.h"
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
  // Runs `command` on dir/name, holding `bytes` unless they are empty.
  int Run(Command command, const std::string& name, const std::vector<uint8_t>& bytes,
          std::optional<ExistingOutput> existing_output = {}) {
    if (!bytes.empty()) WriteBytes(dir_ / name, bytes);
    host_ = RecordingHost(dir_ / name);
    return command(host_, {.frame_counts = nullptr, .existing_output = existing_output});
  }
  Message Told() const { return host_.messages.size() == 1 ? host_.messages[0] : Message{}; }

  RecordingCodec codec_;
  TempDir dir_;
  RecordingHost host_{""};
};

// Progress follows the bytes read: the first frame starts after the header,
// 1% of 1214 bytes, the last at byte 14 + 599 * 2, 99%; then 100.
TEST_F(CommandTest, DecodeShowsProgressByTheBytesRead) {
  ASSERT_EQ(Run(DecodeCommand, "a.DVR", DvrFile(8000, Frames(600, 0xE0))), 0);
  ASSERT_GE(host_.positions.size(), 3u);
  EXPECT_EQ(host_.positions.front(), 1);
  EXPECT_TRUE(std::is_sorted(host_.positions.begin(), host_.positions.end()));
  EXPECT_EQ(host_.positions.end()[-2], 99);
  EXPECT_EQ(host_.positions.back(), 100);
}

TEST_F(CommandTest, FailuresBeforeTheLoopSayWhyAndWriteNothing) {
  fs::create_directory(dir_ / "folder.DVR");
  fs::create_directory(dir_ / "b.WAV");
  WriteBytes(dir_ / "b.DVR", DvrFile(8000, Frames(1, 0xE0)));
  fs::create_directory(dir_ / "rec.DVR");  // rec.DVR/c.WAV names itself
  WriteBytes(dir_ / "d.DVR", DvrFile(8000, Frames(1, 0xE0)));
  fs::create_hard_link(dir_ / "d.DVR", dir_ / "d.WAV");
  WriteBytes(dir_ / "e.DVR", {});
  WriteBytes(dir_ / "cut.DVR", {'h', 'e', 'a', 'd', 'e', 'r', '0', '1', 0x80});
  WriteBytes(dir_ / "zero.DVR", DvrFile(0, Frames(3, 0x80)));
  struct Case {
    Command command;
    std::string name, told;
    MessageKind kind = MessageKind::kFailed;
  };
  const Case cases[] = {
      {DecodeCommand, "a.dvr",
       "Choose file to Decode\nThe file's name must contain .DVR in capital letters",
       MessageKind::kRefused},
      {EncodeCommand, "voice.PCM",
       "Choose *.pcm file to Encode\nThe file's name must contain .pcm in lower-case letters",
       MessageKind::kRefused},
      {DecodeCommand, "rec.DVR/c.WAV", "Choose file to Decode", MessageKind::kRefused},
      {DecodeCommand, "a.DVR", "Can't open file %s (" + NoSuchFileReason() + ")"},
      {EncodeCommand, "a.pcm", "Can't open file %s (" + NoSuchFileReason() + ")"},
      {DecodeCommand, "folder.DVR", "Can't open file %s (Is a directory)"},
      {DecodeCommand, "e.DVR", kEmptyMessage},
      {DecodeCommand, "cut.DVR", NotARecordingMessage("%s", "it ends inside its header")},
      {DecodeCommand, "zero.DVR",
       NotARecordingMessage("%s", "its header gives a sample rate of 0")},
      {DecodeCommand, "b.DVR",
       "Can't open file " + dir_ / "b.WAV" + " (Is a directory)\nNothing was written to file " +
           dir_ / "b.WAV"},
      {DecodeCommand, "d.DVR", "Can't write file " + dir_ / "d.WAV" + " over the input file"},
  };
  WriteBytes(dir_ / "rec.DVR/c.WAV", DvrFile(8000, {}));
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.command, c.name, {}), c.kind == MessageKind::kRefused ? 0 : -1) << c.name;
    EXPECT_EQ(Told(), (Message{FormatMessage(c.told.c_str(), dir_ / c.name), c.kind}));
  }
  EXPECT_EQ(codec_.calls(), 0);
  EXPECT_EQ(ReadBytes(dir_ / "d.DVR"), DvrFile(8000, Frames(1, 0xE0)));
  EXPECT_EQ(dir_.Names(),
            (std::vector<std::string>{"b.DVR", "b.WAV", "cut.DVR", "d.DVR", "d.WAV", "e.DVR",
                                      "folder.DVR", "rec.DVR", "rec.DVR/c.WAV", "zero.DVR"}));
}

// -n after a power cut, which can leave a new output under its own name
// empty or short: a WAV of ours left so is replaced, any other file kept; of
// a .DVR, which may be a recording, only an empty one. A temporary file of a
// killed run goes too, but not one that a run is still writing.
TEST_F(CommandTest, NoClobberReplacesWhatAnEarlierRunLeftUnfinished) {
  const char kReplaced[] = "File %s was left unfinished by an earlier run; it is replaced";
  const char kKept[] = "File %s exists; not replaced";
  const std::vector<uint8_t> riff = {'R', 'I', 'F', 'F', 36, 1, 0, 0, 'W', 'A', 'V', 'E'};
  std::vector<uint8_t> whole = riff, avi = riff;
  whole.resize(0x124 + 8);  // as long as its RIFF size says
  avi[10] = 'I';
  // FLAC: "fLaC", its first block's header, then the stream's length and
  // checksum, which a finished file states.
  std::vector<uint8_t> flac_unfinished = {'f', 'L', 'a', 'C'}, flac_whole;
  flac_unfinished.resize(42);
  flac_whole = flac_unfinished;
  flac_whole[25] = 1;
  const ondavo::Command &wav = kDecode, &pcm = kEncode;
  std::vector<std::tuple<const ondavo::Command*, const char*, std::vector<uint8_t>, std::string>>
      cases = {
          {&wav, "a.DVR", {}, kReplaced},
          {&wav, "b.DVR", riff, kReplaced},
          {&wav, "c.DVR", whole, kKept},
          {&wav, "d.DVR", avi, kKept},
          {&pcm, "e.pcm", {}, kReplaced},
          {&pcm, "f.pcm", std::vector<uint8_t>(18, 1), kKept},
          {&pcm, "g.pcm", std::vector<uint8_t>(10, 1),
           "File %s exists; not replaced (its length is no whole number of 9-byte records, so it "
           "may be unfinished; --force replaces it)"},
      };
  if (FormatAvailable(AudioFormat::kFlac)) {
    const ondavo::Command* flac = &DecodeCommandFor(AudioFormat::kFlac);
    cases.push_back({flac, "i.DVR", flac_unfinished, kReplaced});
    cases.push_back({flac, "j.DVR", flac_whole, kKept});
  }
  for (const auto& [command, name, earlier, told] : cases) {
    const bool encode = command == &pcm;
    const std::string output = command->OutputPathFor(dir_ / name);
    WriteBytes(output, earlier);
    EXPECT_EQ(Run(command->run, name, DvrFile(8000, Frames(2, 0xE0)), ExistingOutput::kSkip), 0);
    const bool replaced = told == kReplaced;
    std::vector<Message> expected = {{FormatMessage(told.c_str(), output),
                                      replaced ? MessageKind::kWarning : MessageKind::kSkipped}};
    if (replaced) {
      expected.push_back({FormatMessage(encode ? kEncodeFinished : kDecodeFinished, output),
                          MessageKind::kFinished});
    }
    EXPECT_EQ(host_.messages, expected);
    EXPECT_EQ(ReadBytes(output) == earlier, !replaced) << name;
  }

  std::unique_ptr<OutputFile> writing;
  std::string written;
  ASSERT_EQ(DefaultFileSystem()->CreateTemporary(dir_ / "h.WAV", &writing, &written), 0);
  WriteBytes(dir_ / "h.ondavo-part-dead01", {'l', 'e', 'f', 't'});
  ASSERT_EQ(Run(DecodeCommand, "h.DVR", DvrFile(8000, Frames(2, 0xE0))), 0);
  EXPECT_EQ(host_.messages.at(0), (Message{"Removed " + dir_ / "h.ondavo-part-dead01" +
                                               ", an unfinished file left by a run that was killed",
                                           MessageKind::kWarning}));
  EXPECT_EQ(host_.messages.size(), 2u);
  EXPECT_TRUE(fs::exists(PathFromUtf8(written)));
  writing.reset();
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
    fs::remove_all(dir_.path());
    fs::create_directory(dir_.path());
    EXPECT_EQ(Run(command, name, DvrFile(8000, Frames(2, 0xE0))), told.empty() ? 0 : -1);
    if (!told.empty()) {
      EXPECT_EQ(dir_.Names(), std::vector<std::string>{name});
      EXPECT_EQ(Told(), (Message{told, MessageKind::kFailed}));
    }
  }
}

TEST(FormatTest, OutputNames) {
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
  for (const auto& [input, extension, folder, output] : cases)
    EXPECT_EQ(OutputPathFor(input, extension, folder), output);
}

std::string Failed(const std::string& first_line, const std::string& output = "a.WAV") {
  return first_line + "\n" + FormatMessage(kNothingWrittenMessage, output);
}
std::string Because(const std::string& what, int error) {
  return what + " (" + std::strerror(error) + ")";
}

TEST(FaultTest, AFailedRunLeavesTheEarlierOutputAndNoTemporaryFile) {
  volatile std::sig_atomic_t stop = 0;
  const auto write = [](int error) { return Failed(Because("Can't write file a.WAV", error)); };
  const auto read = [](int error) { return Failed(Because("Can't read file a.DVR", error)); };
  const ondavo::Command &wav = kDecode, &pcm = kEncode;
  std::vector<std::tuple<const ondavo::Command*, std::function<void(FakeFileSystem&)>, std::string>>
      faults = {
          {&wav, [](auto& f) { f.disk_space = 20; }, write(ENOSPC)},
          {&wav, [](auto& f) { f.read_error_at = 14 + 18 * 300 + 5; }, read(EIO)},
          {&wav, [](auto& f) { f.size_error = EIO; }, Because("Can't read file a.DVR", EIO)},
          {&wav, [](auto& f) { f.close_error = EIO; }, write(EIO)},
          {&wav, [](auto& f) { f.input_close_error = EIO; }, read(EIO)},
          {&wav, [](auto& f) { f.write_at_error = EIO; },
           Failed(Because("Can't update the header of file a.WAV", EIO))},
          {&wav, [](auto& f) { f.rename_error = EACCES; }, write(EACCES)},
          {&wav, [&](auto&) { stop = 1; }, FormatMessage(kStoppedMessage, "a.WAV")},
          {&wav, [](auto& f) { f.disk_space = 100, f.remove_error = EIO; },
           write(ENOSPC) + "\n" + Because("Can't remove file a.ondavo-part-1", EIO)},
          {&pcm, [](auto& f) { f.disk_space = 9 * 500 + 4; },
           Failed(Because("Can't write file a.DVR", ENOSPC), "a.DVR")},
      };
  // Full disks in the coded formats, at their start, in the middle and as they finish.
  for (AudioFormat format : {AudioFormat::kFlac, AudioFormat::kOpus, AudioFormat::kMp3}) {
    if (!FormatAvailable(format)) continue;
    const ondavo::Command& command = DecodeCommandFor(format);
    const std::string output = command.OutputPathFor("a.DVR");
    for (uint64_t space : {uint64_t{20}, uint64_t{3000}})
      faults.push_back({&command, [space](auto& f) { f.disk_space = space; },
                        Failed(Because("Can't write file " + output, ENOSPC), output)});
  }
  RecordingCodec codec;
  for (const auto& [command, set_up, told] : faults) {
    const bool encode = command == &pcm;
    FakeFileSystem files;
    files.AddInput("a.DVR", DvrFile(8000, Frames(1000, 0x40)));
    files.AddInput("a.pcm", std::vector<uint8_t>(1000 * 64, 1));
    const std::string output = command->OutputPathFor(encode ? "a.pcm" : "a.DVR");
    files.AddFile(output, {'o', 'l', 'd'});
    stop = 0;
    set_up(files);
    RecordingHost host(encode ? "a.pcm" : "a.DVR");
    EXPECT_EQ(command->run(host, {.file_system = &files,
                                  .frame_counts = nullptr,
                                  .existing_output = ExistingOutput::kReplace,
                                  .stop_request = &stop}),
              -1);
    EXPECT_EQ(host.messages, (std::vector<Message>{{told, MessageKind::kFailed}}));
    EXPECT_EQ(files.output(output).head, (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(files.temporary_files(), files.remove_error != 0 ? 1u : 0u) << told;
  }
}

// The longest WAV there can be is put in place, and the run still fails.
TEST(FaultTest, StopsBeforeTheWavPasses4GiB) {
  RecordingCodec codec;
  FakeFileSystem files;
  const uint64_t size = 3ull << 30;  // of 24-byte frames
  files.AddInput("a.DVR", size, [](uint64_t at) -> uint8_t {
    if (at < 14) return at == 8 ? 0x40 : at == 9 ? 0x1F : 0;
    return (at - 14) % 24 == 0 ? 0x80 : 0x55;
  });
  files.keep_bytes = 44;
  RecordingHost host("a.DVR");
  EXPECT_EQ(DecodeCommand(host, {.file_system = &files, .frame_counts = nullptr}), -1);
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
  EXPECT_EQ(codec.calls(), 0);
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
        WholeFile output;
        output.Create(*DefaultFileSystem(), dir / "b.WAV", false);
        std::raise(SIGTERM);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.DVR", "a.WAV", "fifo.DVR", "fifo.pcm",
                                                   "notes.txt", "zero.DVR"}));
#endif
}

}  // namespace
}  // namespace ondavo
