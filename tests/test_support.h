// Shared helpers for the tests: a temporary folder, whole-file reads and
// writes, a host that records what a command tells it, and where the build
// put the programs and libraries under test.
#ifndef ONDAVO_TESTS_TEST_SUPPORT_H_
#define ONDAVO_TESTS_TEST_SUPPORT_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "conversion_host.h"

namespace ondavo::testing {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<int16_t> ReadSamples(const std::string& path, size_t skip_bytes = 0);
void WriteSamples(const std::string& path, const std::vector<int16_t>& samples);

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset);
uint16_t Le16(const std::vector<uint8_t>& bytes, size_t offset);

// A coded voice file: the 14-byte header with `rate` at bytes 8-9, then `body`.
std::vector<uint8_t> DvrFile(uint16_t rate, const std::vector<uint8_t>& body);
// `n` two-byte silence frames, each with `payload` as its second byte.
std::vector<uint8_t> SilenceFrames(int n, uint8_t payload = 0);

// The command line under test, quoted for a shell.
std::string CliCommand();

// One message as a host saw it.
struct Message {
  std::string text;
  MessageKind kind;
};

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

// Runs a program with `sh -c`, capturing its standard output and error.
struct ProgramResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};
ProgramResult RunShell(const std::string& command);

// Where the build put things.
std::string BinDir();
std::string LibDir();
std::string TestDataDir();
std::string RecordingCodecPath();

}  // namespace ondavo::testing

#endif  // ONDAVO_TESTS_TEST_SUPPORT_H_
