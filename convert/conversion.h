// One run of a command, from the chosen path to the output in its place.
// A command opens a Conversion, runs its own loop into output(), and
// finishes it. The output is written under a temporary name and takes its
// own name only once it is whole: a run that fails or is stopped removes it
// and leaves whatever had the output's name as it was.
#ifndef ONDAVO_CONVERT_CONVERSION_H_
#define ONDAVO_CONVERT_CONVERSION_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "command.h"
#include "conversion_host.h"
#include "conversion_options.h"
#include "file_system.h"
#include "messages.h"
#include "progress_tracker.h"
#include "whole_file.h"

namespace ondavo {

// How standard input is named as an input, and standard output in messages.
inline constexpr char kStandardInputPath[] = "-";
inline constexpr char kStandardOutputName[] = "standard output";

class Conversion {
 public:
  Conversion(ConversionHost& host, const ConversionOptions& options, const Command& command);
  ~Conversion();
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  // Checks the chosen path, opens and measures the input, names the output,
  // decides about a file of that name and checks the codec. False when the
  // run ends here: the message is shown and result() says what to return.
  bool Open();
  // Creates the output under its temporary name; false after a message.
  bool CreateOutput();

  // Shows `text` as a failure, after removing the unfinished output; -1.
  int Fail(const std::string& text);
  // The run was asked to stop: like Fail, with the stop's own message.
  int Stop();
  // After each frame: moves the progress to `consumed` bytes of the input,
  // prints every 256th `count` ("%d frames\r" on the frame count stream)
  // and lets the host handle its events. True when the run was asked to
  // stop: the command then returns Stop().
  bool Step(uint64_t consumed, int64_t count);
  // Shows the progress at 100 and any `warning`, closes both files, puts
  // the output in its place and shows the finish message with its name, or
  // the failure met on the way. The result.
  int Finish(const char* finish_pattern, const std::string& warning = {});
  // The output is whole as far as it goes but the input is not done: the
  // output is put in its place all the same, and `text` shown as a failure.
  int FinishShort(const std::string& text);

  // The input anew from its start, for a second reading.
  int ReopenInput(std::unique_ptr<InputFile>* file);
  // The input's modification time, in seconds since 1970; false when it has
  // none (standard input).
  bool InputTime(int64_t* seconds) { return input_->ModificationTime(seconds) == 0; }

  // "%d\n" after the loop, on the frame count stream.
  void PrintFinalCount(int64_t frames) const;

  const std::string& input_path() const { return input_path_; }
  const std::string& output_path() const { return output_path_; }
  InputFile* input() { return input_.get(); }
  OutputFile* output() { return stream_output_ ? stream_output_.get() : output_.file(); }
  int result() const { return result_; }

 private:
  // The steps of Open, each false after its message: the chosen input
  // opened (standard input read whole), the output named and a file of its
  // name dealt with, and the codec checked for what the command needs.
  bool OpenInput();
  bool DecideOutput();
  bool CheckCodec();
  // For kSkip: the message that skips the run, or null to replace the file.
  const char* SkipMessage();
  // Closes both files and puts the output in place; false after a failure
  // was shown.
  bool Commit();
  // Closes what is open and removes the unfinished output. Returns a line
  // that tells what became of it, empty when no output was begun.
  std::string Abandon();
  void Tell(const std::string& text, MessageKind kind, int result);
  void PrintFrameCount(int64_t frames) const;

  ConversionHost& host_;
  ConversionOptions options_;
  const Command& command_;
  bool holds_guard_ = false;
  std::string input_path_;
  std::string output_path_;
  bool replaces_file_ = false;  // an earlier output is at output_path_
  uint64_t input_size_ = 0;
  std::unique_ptr<InputFile> input_;
  std::shared_ptr<const std::string> standard_input_;  // "-", read whole
  std::optional<ProgressTracker> progress_;
  WholeFile output_;
  std::unique_ptr<OutputFile> stream_output_;  // standard output, for to_standard_output
  int result_ = 0;
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_CONVERSION_H_
