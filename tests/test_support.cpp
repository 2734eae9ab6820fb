#include "test_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace ondavo::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ondavo-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only folders behind; make them removable first.
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("can't read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("can't write " + path);
}

std::vector<int16_t> ReadSamples(const std::string& path, size_t skip_bytes) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  std::vector<int16_t> samples;
  for (size_t i = skip_bytes; i + 1 < bytes.size(); i += 2) {
    samples.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return samples;
}

void WriteSamples(const std::string& path, const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  for (int16_t s : samples) {
    bytes.push_back(static_cast<uint8_t>(s));
    bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  WriteBytes(path, bytes);
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset) {
  return bytes.at(offset) | bytes.at(offset + 1) << 8 | bytes.at(offset + 2) << 16 |
         static_cast<uint32_t>(bytes.at(offset + 3)) << 24;
}

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

std::vector<uint8_t> DvrFile(uint16_t rate, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> file(14 + body.size());
  const char kMarker[] = "header01";
  std::copy(kMarker, kMarker + 8, file.begin());
  file[8] = static_cast<uint8_t>(rate);
  file[9] = static_cast<uint8_t>(rate >> 8);
  std::copy(body.begin(), body.end(), file.begin() + 14);
  return file;
}

std::vector<uint8_t> SilenceFrames(int n, uint8_t payload) {
  std::vector<uint8_t> body;
  for (int i = 0; i < n; ++i) {
    body.push_back(0xE0);
    body.push_back(payload);
  }
  return body;
}

std::string CliCommand() {
  return "'" + BinDir() + "/ondavo-cli'";
}

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

ProgramResult RunShell(const std::string& command) {
  TempDir dir;
  std::string out = dir / "out", err = dir / "err";
  std::string line = "(" + command + ") >'" + out + "' 2>'" + err + "' </dev/null";
  int raw = std::system(line.c_str());
  ProgramResult result;
  if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  if (raw != -1 && WIFSIGNALED(raw)) result.status = 128 + WTERMSIG(raw);
  result.out = Slurp(out);
  result.err = Slurp(err);
  return result;
}

std::string BinDir() {
  return ONDAVO_BIN_DIR;
}
std::string LibDir() {
  return ONDAVO_LIB_DIR;
}
std::string TestDataDir() {
  return ONDAVO_TEST_DATA_DIR;
}
std::string RecordingCodecPath() {
  return ONDAVO_RECORDING_CODEC;
}

}  // namespace ondavo::testing
