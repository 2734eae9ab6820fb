// What the decode and encode commands do alike: taking and checking the
// chosen path, opening and measuring the input, naming and creating the
// output, the messages, the progress position and the console frame counts.
// A command opens a Conversion, runs its own loop, and finishes it.
#ifndef ONDAVO_CONVERT_CONVERSION_H_
#define ONDAVO_CONVERT_CONVERSION_H_

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "codec_binding.h"
#include "conversion_host.h"
#include "file_system.h"

namespace ondavo {

// How a run is carried out, beyond what its host supplies.
struct ConversionOptions {
  FileSystem* file_system = DefaultFileSystem();
  // Where the "%d frames\r" counts go; null silences them.
  std::FILE* frame_counts = stdout;
  // When set, the output goes into this folder instead of beside the input.
  std::string output_folder;
  // When set, an existing output is left alone and the run skipped.
  bool no_clobber = false;
  // When set and it turns non-zero, the run stops after the current frame,
  // keeping what it wrote. Set from a signal handler, hence the type.
  const volatile std::sig_atomic_t* stop_request = nullptr;
};

// What sets one command apart from the other before its loop.
struct ConversionKind {
  const char* input_marker;  // the chosen path must contain this
  const char* refusal;       // shown when it does not
  const char* output_extension;
  CodecUse codec_use;

  // False for a path the command refuses with `refusal`.
  bool Accepts(const std::string& path) const {
    return path.size() >= 4 && path.find(input_marker) != std::string::npos;
  }
};

// The user-facing texts; each "%s" stands for a path.
inline constexpr char kCantOpenMessage[] = "Can't open file %s ";
inline constexpr char kEmptyMessage[] = "File %s is Empty";
inline constexpr char kBusyMessage[] = "A conversion is already running";
inline constexpr char kExistsMessage[] = "File %s exists; not replaced";
inline constexpr char kStoppedMessage[] = "Stopped; file %s keeps what was converted so far";

// "%s" in `pattern` replaced by `path`.
std::string FormatMessage(const char* pattern, const std::string& path);
// "Can't <verb> file <path> (<the system's reason>)".
std::string IoFailureMessage(const char* verb, const std::string& path, int error);

// Percentages of an input of `total` bytes, in 64-bit arithmetic and within
// 0 to 100. Tells the host only when the position moves, so that a frame
// costs a comparison rather than a division.
class ProgressTracker {
 public:
  ProgressTracker(ConversionHost& host, uint64_t total) : host_(host), total_(total) {}

  // `consumed` bytes of the input are behind us.
  void Update(uint64_t consumed) {
    if (consumed >= next_change_) Move(consumed);
  }
  void Finish();

  static int Percent(uint64_t consumed, uint64_t total);

 private:
  void Move(uint64_t consumed);

  ConversionHost& host_;
  uint64_t total_;
  int shown_ = -1;
  uint64_t next_change_ = 0;
};

// One run of a command, from the chosen path to the closed files.
class Conversion {
 public:
  Conversion(ConversionHost& host, const ConversionOptions& options, const ConversionKind& kind);
  ~Conversion();
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  // Checks the chosen path, opens and measures the input, names the output,
  // checks the codec and creates the output. False when the run ends here:
  // the message is shown and result() says what to return.
  bool Open();

  // Shows `text` as a failure; result() becomes -1.
  void Fail(const std::string& text);
  // Closes both files, checking each, and shows the finish message with the
  // output's name unless a close fails. Returns the command's result.
  int Finish(const char* finish_pattern);
  // Closes what is open without a word, after a failure was shown.
  void Abandon();

  // "%d frames\r" during the loop, "%d\n" after it, on the frame count stream.
  void PrintFrameCount(int64_t frames) const;
  bool StopRequested() const {
    return options_.stop_request != nullptr && *options_.stop_request != 0;
  }
  void PrintFinalCount(int64_t frames) const;

  ConversionHost& host() { return host_; }
  FileSystem& file_system() { return *options_.file_system; }
  const std::string& input_path() const { return input_path_; }
  const std::string& output_path() const { return output_path_; }
  uint64_t input_size() const { return input_size_; }
  InputFile* input() { return input_.get(); }
  OutputFile* output() { return output_.get(); }
  // Replaces the output, for a command that reopens it.
  void set_output(std::unique_ptr<OutputFile> output) { output_ = std::move(output); }
  int result() const { return result_; }

 private:
  ConversionHost& host_;
  ConversionOptions options_;
  const ConversionKind& kind_;
  bool holds_guard_ = false;
  std::string input_path_;
  std::string output_path_;
  uint64_t input_size_ = 0;
  std::unique_ptr<InputFile> input_;
  std::unique_ptr<OutputFile> output_;
  int result_ = 0;
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_CONVERSION_H_
