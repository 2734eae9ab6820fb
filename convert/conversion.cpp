#include "conversion.h"

#include "memory_input.h"
#include "standard_streams.h"

namespace ondavo {

namespace {

// Both commands share the codec's state and the WAV header record, so one
// conversion at a time; a window can start another from inside its pump.
bool g_bConversionRunning = false;

// An output that could not be begun: like every failure, it says that
// nothing was written, as "Can't open" alone could be taken for the input.
std::string CantCreateMessage(const std::string& output, int error) {
  return CantOpenMessage(output, error) + "\n" + FormatMessage(kNothingWrittenMessage, output);
}

}  // namespace

Conversion::Conversion(ConversionHost& host, const ConversionOptions& options,
                       const Command& command)
    : host_(host), options_(options), command_(command) {}

Conversion::~Conversion() {
  Abandon();
  if (holds_guard_) g_bConversionRunning = false;
}

void Conversion::Tell(const std::string& text, MessageKind kind, int result) {
  host_.ShowMessage(text, kind);
  result_ = result;
}

bool Conversion::Open() {
  if (g_bConversionRunning) {
    Tell(kBusyMessage, MessageKind::kRefused, -1);
    return false;
  }
  g_bConversionRunning = true;
  holds_guard_ = true;

  input_path_ = host_.ChosenPath();
  if (!OpenInput()) return false;
  if (int err = input_->Size(&input_size_)) {
    Fail(IoFailureMessage("read", input_path_, err));
    return false;
  }
  if (input_size_ == 0) {
    Fail(FormatMessage(kEmptyMessage, input_path_));
    return false;
  }
  progress_.emplace(host_, input_size_);
  if (options_.to_standard_output) {
    output_path_ = kStandardOutputName;
  } else if (!DecideOutput()) {
    return false;
  }
  return CheckCodec();
}

bool Conversion::OpenInput() {
  if (options_.to_standard_output && input_path_ == kStandardInputPath) {
    // A pipe can be read once; the recording is kept for a second reading.
    auto bytes = std::make_shared<std::string>();
    if (int err = ReadStandardInput(bytes.get())) {
      Fail(IoFailureMessage("read", input_path_, err));
      return false;
    }
    standard_input_ = std::move(bytes);
    input_ = std::make_unique<MemoryInput>(standard_input_);
    return true;
  }
  if (!command_.Accepts(input_path_)) {
    Tell(command_.RefusalFor(input_path_), MessageKind::kRefused, 0);
    return false;
  }
  if (int err = options_.file_system->OpenInput(input_path_, &input_)) {
    Fail(CantOpenMessage(input_path_, err));
    return false;
  }
  return true;
}

bool Conversion::DecideOutput() {
  FileSystem& files = *options_.file_system;
  output_path_ = command_.OutputPathFor(input_path_, options_.output_folder);
  if (output_path_ == input_path_ || files.SameFile(input_path_, output_path_)) {
    Fail("Can't write file " + output_path_ + " over the input file");
    return false;
  }
  if (int err = files.CheckOutputName(output_path_, &replaces_file_)) {
    Fail(CantCreateMessage(output_path_, err));
    return false;
  }
  if (!replaces_file_) return true;
  switch (options_.existing_output.value_or(command_.existing_output)) {
    case ExistingOutput::kReplace:
      return true;
    case ExistingOutput::kSkip:
      if (const char* skip = SkipMessage()) {
        Abandon();
        Tell(FormatMessage(skip, output_path_), MessageKind::kSkipped, 0);
        return false;
      }
      host_.ShowMessage(FormatMessage(kUnfinishedOutputWarning, output_path_),
                        MessageKind::kWarning);
      return true;
    case ExistingOutput::kRefuse:
      Fail(FormatMessage(kExistsMessage, output_path_));
      return false;
    case ExistingOutput::kAsk:
      // A "no" is the user's own answer: nothing more to say.
      if (options_.confirm_replace && options_.confirm_replace(output_path_)) return true;
      Abandon();
      result_ = 0;
      return false;
  }
  return true;
}

bool Conversion::CheckCodec() {
  std::string missing = MissingCodecEntryPoint(command_.codec_use);
  if (!missing.empty()) {
    Fail(missing);
    return false;
  }
  return true;
}

int Conversion::ReopenInput(std::unique_ptr<InputFile>* file) {
  if (standard_input_) {
    *file = std::make_unique<MemoryInput>(standard_input_);
    return 0;
  }
  return options_.file_system->OpenInput(input_path_, file);
}

const char* Conversion::SkipMessage() {
  // A file that cannot be read is no proof of an unfinished one: kept.
  std::unique_ptr<InputFile> earlier;
  uint64_t size = 0;
  if (options_.file_system->OpenInput(output_path_, &earlier) != 0 || earlier->Size(&size) != 0)
    return kExistsMessage;
  return command_.skip_message(*earlier, size);
}

bool Conversion::CreateOutput() {
  if (options_.to_standard_output) {
    stream_output_ = StandardOutputFile();
    return true;
  }
  FileSystem& files = *options_.file_system;
  for (const std::string& stale : files.RemoveStaleTemporaries(output_path_))
    host_.ShowMessage(FormatMessage(kStaleRemovedWarning, stale), MessageKind::kWarning);
  if (int err = output_.Create(files, output_path_, replaces_file_)) {
    Fail(CantCreateMessage(output_path_, err));
    return false;
  }
  return true;
}

std::string Conversion::Abandon() {
  if (input_) input_->Close();
  input_.reset();
  // What reached a pipe cannot be taken back: its reader sees the stream
  // cut short, and the failure in the exit status.
  stream_output_.reset();
  const std::string temporary = output_.temporary_path();
  if (temporary.empty()) return {};
  std::string told = FormatMessage(kNothingWrittenMessage, output_path_);
  if (int err = output_.Abandon()) told += "\n" + IoFailureMessage("remove", temporary, err);
  return told;
}

int Conversion::Fail(const std::string& text) {
  std::string fate = Abandon();
  Tell(fate.empty() ? text : text + "\n" + fate, MessageKind::kFailed, -1);
  return result_;
}

int Conversion::Stop() {
  std::string fate = Abandon();
  std::string text = FormatMessage(kStoppedMessage, output_path_);
  // Only a temporary file that would not go is worth a second line.
  size_t removal = fate.find('\n');
  if (removal != std::string::npos) text += fate.substr(removal);
  Tell(text, MessageKind::kFailed, -1);
  return result_;
}

bool Conversion::Commit() {
  int err = input_ ? input_->Close() : 0;
  input_.reset();
  if (err != 0) {
    Fail(IoFailureMessage("read", input_path_, err));
    return false;
  }
  err = stream_output_ ? 0 : output_.Commit();
  if (err != 0) {
    Fail(IoFailureMessage("write", output_path_, err));
    return false;
  }
  return true;
}

bool Conversion::Step(uint64_t consumed, int64_t count) {
  progress_->Update(consumed);
  if ((count & 0xFF) == 0) PrintFrameCount(count);
  host_.PumpMessages();
  return options_.stop_request != nullptr && *options_.stop_request != 0;
}

int Conversion::Finish(const char* finish_pattern, const std::string& warning) {
  progress_->Finish();
  if (!warning.empty()) host_.ShowMessage(warning, MessageKind::kWarning);
  if (!Commit()) return result_;
  Tell(FormatMessage(finish_pattern, output_path_), MessageKind::kFinished, 0);
  return result_;
}

int Conversion::FinishShort(const std::string& text) {
  if (!Commit()) return result_;
  Tell(text, MessageKind::kFailed, -1);
  return result_;
}

void Conversion::PrintFrameCount(int64_t frames) const {
  if (options_.frame_counts == nullptr) return;
  std::fprintf(options_.frame_counts, "%lld frames\r", static_cast<long long>(frames));
  std::fflush(options_.frame_counts);
}

void Conversion::PrintFinalCount(int64_t frames) const {
  if (options_.frame_counts == nullptr) return;
  std::fprintf(options_.frame_counts, "%lld\n", static_cast<long long>(frames));
  std::fflush(options_.frame_counts);
}

}  // namespace ondavo
