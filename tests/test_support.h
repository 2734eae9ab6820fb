// What the tests share: a temporary folder, whole-file reads and writes,
// coded voice files made to order, a host that records what a command tells
// it, the programs under test run as a user runs them, and where the build
// put them.
#ifndef ONDAVO_TESTS_TEST_SUPPORT_H_
#define ONDAVO_TESTS_TEST_SUPPORT_H_

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "codec_binding.h"
#include "conversion_host.h"
#include "path.h"

namespace ondavo::testing {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  // A path in it, in UTF-8 as the programs take it; on Windows with '\\' throughout.
  std::string operator/(const std::string& name) const {
    return Utf8FromPath((path_ / PathFromUtf8(name)).make_preferred());
  }
  // The names in the folder and below it, sorted, relative to it, with '/'.
  std::vector<std::string> Names() const;

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset);

// The reason the programs give for a file that is not there: the system's
// own words, which on Windows are Windows' (and shorter under Wine).
std::string NoSuchFileReason();

// A coded frame's length by its first byte, written out apart from the
// converter's own table: 00: 11, 01: 18, 10: 24, 110: 4, 111: 2.
int FrameLength(uint8_t first);
// `n` frames of the type `first`, each filled with its own index.
std::vector<uint8_t> Frames(int n, uint8_t first);
// A coded voice file: the 14-byte header with `rate` at bytes 8-9, then `body`.
std::vector<uint8_t> DvrFile(uint16_t rate, const std::vector<uint8_t>& body);
// What a WAV of `frames` decoded frames holds: its length.
constexpr uint64_t WavSize(uint64_t frames) {
  return 44 + 320 * frames;
}

// One message as a host saw it.
struct Message {
  std::string text;
  MessageKind kind;
  bool operator==(const Message&) const = default;
};
void PrintTo(const Message& message, std::ostream* out);

// A host that answers with a fixed path and records everything else.
class RecordingHost : public ConversionHost {
 public:
  explicit RecordingHost(std::string path) : path_(std::move(path)) {}
  std::string ChosenPath() override { return path_; }
  void ShowMessage(const std::string& text, MessageKind kind) override {
    messages.push_back({text, kind});
  }
  void SetProgressPosition(int percent) override { positions.push_back(percent); }
  void PumpMessages() override { ++pumps; }

  std::vector<Message> messages;
  std::vector<int> positions;
  int64_t pumps = 0;

 private:
  std::string path_;
};

// A program run as a user runs it: no shell, standard input empty.
struct Program {
  explicit Program(std::vector<std::string> arguments) : args(std::move(arguments)) {}
  std::vector<std::string> args;  // args[0] is the program's path
  std::vector<std::string> env;   // "NAME=value", added to the tests' own
  std::string folder;             // where it runs; empty for here
  uint64_t file_size_limit = 0;   // bytes any file may reach; 0 for none (not on Windows)
};
struct ProgramResult {
  int status = -1;  // exit status, or 128 + signal on POSIX systems
  std::string out;
  std::string err;
};
ProgramResult RunProgram(const Program& program);

// A program started in the background, for signalling it while it runs.
class RunningProgram {
 public:
  explicit RunningProgram(const Program& program);
  ~RunningProgram();
  bool Signal(int signal);  // false if it could not be sent; on Windows ends it outright
  ProgramResult Wait();

 private:
  intptr_t handle_ = 0;  // the process
  int id_ = 0;
  TempDir output_;
};

// ondavo-cli, with these arguments.
Program Cli(std::vector<std::string> args);

// Where the build put things.
std::string BinDir();
std::string RecordingCodecPath();
// The recording codec with only the decoder's or only the encoder's entry points.
std::string PartialCodecPath(CodecUse use);

}  // namespace ondavo::testing

#endif  // ONDAVO_TESTS_TEST_SUPPORT_H_
