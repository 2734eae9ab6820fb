// The converter's own cost per frame: a whole DecodeCommand (and
// EncodeCommand) through a codec library that does nothing, so what remains
// is the frame walk, the call through the bound pointer, the buffered WAV
// writing, the progress check and the pump. Run with files in memory (a
// FileSystem that only counts what it is given) and with real files.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "codec_binding.h"
#include "decode_command.h"
#include "dvr_format.h"
#include "encode_command.h"
#include "file_system.h"
#include "memory_input.h"

namespace ondavo {
namespace {

// One hour of 20 ms frames, and of 32-sample blocks.
constexpr int64_t kHourFrames = 180'000;
constexpr int64_t kHourBlocks = 900'000;

// A host that wants nothing: no path checks beyond the command's own, no
// progress shown, nothing pumped. Only the outcome is kept, to notice a run
// that failed (a benchmark of a failure would measure nothing useful).
class NoOpHost final : public ConversionHost {
 public:
  explicit NoOpHost(std::string path) : path_(std::move(path)) {}
  std::string ChosenPath() override { return path_; }
  void ShowMessage(const std::string& text, MessageKind kind) override {
    if (kind != MessageKind::kFinished) failure = text;
  }
  void SetProgressPosition(int) override {}
  void PumpMessages() override {}

  std::string failure;

 private:
  std::string path_;
};

// A .DVR of `frames` frames, each `length` bytes long (24, 18, 11, 4 or 2).
std::vector<uint8_t> DvrBytes(int64_t frames, int length) {
  uint8_t first = 0;
  switch (length) {
    case 11:
      first = 0x00;
      break;
    case 18:
      first = 0x40;
      break;
    case 24:
      first = 0x80;
      break;
    case 4:
      first = 0xC0;
      break;
    default:
      first = 0xE0;
      break;
  }
  std::vector<uint8_t> bytes(kDvrHeaderSize, 0);
  bytes[8] = 8000 & 0xFF;
  bytes[9] = 8000 >> 8;
  bytes.reserve(bytes.size() + static_cast<size_t>(frames) * length);
  for (int64_t i = 0; i < frames; ++i) {
    bytes.push_back(first);
    for (int k = 1; k < length; ++k) bytes.push_back(static_cast<uint8_t>(i + k));
  }
  return bytes;
}

// Inputs from memory, outputs counted and thrown away: the converter's cost
// without the kernel's.
class CountingFileSystem final : public FileSystem {
 public:
  void SetInput(const std::vector<uint8_t>& bytes) {
    input_ = std::make_shared<const std::string>(bytes.begin(), bytes.end());
  }
  uint64_t written() const { return written_; }

  int OpenInput(const std::string&, std::unique_ptr<InputFile>* file) override {
    file->reset(new MemoryInput(input_));
    return 0;
  }
  int CheckOutputName(const std::string&, bool* exists) override {
    *exists = false;
    return 0;
  }
  int CreateTemporary(const std::string& path, std::unique_ptr<OutputFile>* file,
                      std::string* temporary) override {
    *temporary = path + ".part";
    written_ = 0;
    file->reset(new Output(&written_));
    return 0;
  }
  int Rename(const std::string&, const std::string&) override { return 0; }
  int Remove(const std::string&) override { return 0; }
  std::vector<std::string> RemoveStaleTemporaries(const std::string&) override { return {}; }
  bool SameFile(const std::string&, const std::string&) override { return false; }
  // A single file is converted: there are no folders to search or make.
  int Find(const std::string&, bool* folder) override { return *folder = false; }
  int ListFolder(const std::string&, std::vector<FolderEntry>*) override { return ENOTDIR; }
  int CreateFolders(const std::string&) override { return 0; }
  int CopyModificationTime(const std::string&, const std::string&) override { return 0; }
  int IgnoresCase(const std::string&, bool* ignores) override { return *ignores = false; }

 private:
  class Output final : public OutputFile {
   public:
    explicit Output(uint64_t* written) : written_(written) {}
    int Write(const void*, size_t size, size_t* written) override {
      *written_ += size;
      *written = size;
      return 0;
    }
    int WriteAt(uint64_t, const void*, size_t) override { return 0; }
    int Sync() override { return 0; }
    int Close() override { return 0; }

   private:
    uint64_t* written_;
  };

  std::shared_ptr<const std::string> input_;
  uint64_t written_ = 0;
};

// A folder under $TMPDIR (or /tmp) for the real-file runs, removed at exit.
class ScratchDir {
 public:
  ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/ondavo-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const char* name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

ScratchDir& Scratch() {
  static ScratchDir dir;
  return dir;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
      std::fclose(f) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
}

// Reports the time per frame (or block) as a counter of its own, since an
// iteration here is a whole run of `units` of them.
void ReportPerUnit(benchmark::State& state, int64_t units, const char* name) {
  state.SetItemsProcessed(state.iterations() * units);
  state.counters[name] =
      benchmark::Counter(static_cast<double>(state.iterations() * units),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

ConversionOptions Options(FileSystem* file_system) {
  ConversionOptions options;
  options.file_system = file_system;
  options.frame_counts = nullptr;
  return options;
}

// Arg: the frame length in bytes.
void BM_DecodeNullCodecInMemory(benchmark::State& state) {
  CountingFileSystem fs;
  fs.SetInput(DvrBytes(kHourFrames, static_cast<int>(state.range(0))));
  const ConversionOptions options = Options(&fs);
  for (auto _ : state) {
    NoOpHost host("hour.DVR");
    DecodeCommand(host, options);
    if (!host.failure.empty()) state.SkipWithError(host.failure.c_str());
    if (fs.written() != kWavHeaderSize + uint64_t{kHourFrames} * 320)
      state.SkipWithError("short output");
  }
  ReportPerUnit(state, kHourFrames, "per_frame");
}
BENCHMARK(BM_DecodeNullCodecInMemory)->Arg(24)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_DecodeNullCodecToFile(benchmark::State& state) {
  const std::string input = Scratch() / "hour.DVR";
  WriteFile(input, DvrBytes(kHourFrames, static_cast<int>(state.range(0))));
  const std::string output = Scratch() / "hour.WAV";
  const ConversionOptions options = Options(DefaultFileSystem());
  for (auto _ : state) {
    // Truncating the last run's output would be the kernel's cost, not ours.
    state.PauseTiming();
    std::remove(output.c_str());
    state.ResumeTiming();
    NoOpHost host(input);
    DecodeCommand(host, options);
    if (!host.failure.empty()) state.SkipWithError(host.failure.c_str());
  }
  ReportPerUnit(state, kHourFrames, "per_frame");
}
BENCHMARK(BM_DecodeNullCodecToFile)->Arg(24)->Unit(benchmark::kMillisecond);

void BM_EncodeNullCodecInMemory(benchmark::State& state) {
  CountingFileSystem fs;
  fs.SetInput(std::vector<uint8_t>(kHourBlocks * 64, 0));
  const ConversionOptions options = Options(&fs);
  for (auto _ : state) {
    NoOpHost host("hour.pcm");
    EncodeCommand(host, options);
    if (!host.failure.empty()) state.SkipWithError(host.failure.c_str());
    if (fs.written() != uint64_t{kHourBlocks} * 9) state.SkipWithError("short output");
  }
  ReportPerUnit(state, kHourBlocks, "per_block");
}
BENCHMARK(BM_EncodeNullCodecInMemory)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ondavo

int main(int argc, char** argv) {
  ondavo::BindCodecLibrary(ONDAVO_NULL_CODEC);
  std::string missing = ondavo::MissingCodecEntryPoint(ondavo::CodecUse::kDecode);
  if (!missing.empty()) {
    std::fprintf(stderr, "%s\n", missing.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
