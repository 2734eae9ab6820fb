#include "conversion.h"

#include <cstring>
#include <limits>

#include "output_name.h"

namespace ondavo {

namespace {

// Both commands share the codec's state and the WAV header record, so one
// conversion at a time; a window can start another from inside its pump.
bool g_bConversionRunning = false;

}  // namespace

std::string FormatMessage(const char* pattern, const std::string& path) {
  std::string text = pattern;
  size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, path);
  return text;
}

std::string IoFailureMessage(const char* verb, const std::string& path, int error) {
  return std::string("Can't ") + verb + " file " + path + " (" + std::strerror(error) + ")";
}

int ProgressTracker::Percent(uint64_t consumed, uint64_t total) {
  if (total == 0 || consumed >= total) return 100;
  constexpr uint64_t kExact = std::numeric_limits<uint64_t>::max() / 100;
  return static_cast<int>(consumed <= kExact ? consumed * 100 / total : consumed / (total / 100));
}

void ProgressTracker::Move(uint64_t consumed) {
  int percent = Percent(consumed, total_);
  if (percent != shown_) {
    shown_ = percent;
    host_.SetProgressPosition(percent);
  }
  if (percent >= 100) {
    next_change_ = std::numeric_limits<uint64_t>::max();
    return;
  }
  // The first byte count at which the percentage reaches percent + 1.
  uint64_t step = static_cast<uint64_t>(percent) + 1;
  uint64_t whole = step * (total_ / 100);
  uint64_t part = step * (total_ % 100);
  next_change_ = whole + part / 100 + (part % 100 != 0 ? 1 : 0);
}

void ProgressTracker::Finish() {
  if (shown_ != 100) {
    shown_ = 100;
    host_.SetProgressPosition(100);
  }
  next_change_ = std::numeric_limits<uint64_t>::max();
}

Conversion::Conversion(ConversionHost& host, const ConversionOptions& options,
                       const ConversionKind& kind)
    : host_(host), options_(options), kind_(kind) {}

Conversion::~Conversion() {
  Abandon();
  if (holds_guard_) g_bConversionRunning = false;
}

bool Conversion::Open() {
  if (g_bConversionRunning) {
    host_.ShowMessage(kBusyMessage, MessageKind::kRefused);
    result_ = -1;
    return false;
  }
  g_bConversionRunning = true;
  holds_guard_ = true;

  input_path_ = host_.ChosenPath();
  if (!kind_.Accepts(input_path_)) {
    host_.ShowMessage(kind_.refusal, MessageKind::kRefused);
    result_ = 0;
    return false;
  }
  if (options_.file_system->OpenInput(input_path_, &input_) != 0) {
    Fail(FormatMessage(kCantOpenMessage, input_path_));
    return false;
  }
  if (int err = input_->Size(&input_size_)) {
    Fail(IoFailureMessage("read", input_path_, err));
    return false;
  }
  if (input_size_ == 0) {
    Fail(FormatMessage(kEmptyMessage, input_path_));
    return false;
  }
  output_path_ = OutputPathFor(input_path_, kind_.output_extension, options_.output_folder);
  if (output_path_ == input_path_ || options_.file_system->SameFile(input_path_, output_path_)) {
    Fail("Can't write file " + output_path_ + " over the input file");
    return false;
  }
  if (options_.no_clobber && options_.file_system->Exists(output_path_)) {
    Abandon();
    host_.ShowMessage(FormatMessage(kExistsMessage, output_path_), MessageKind::kSkipped);
    result_ = 0;
    return false;
  }
  std::string missing = MissingCodecEntryPoint(kind_.codec_use);
  if (!missing.empty()) {
    Fail(missing);
    return false;
  }
  if (options_.file_system->CreateOutput(output_path_, &output_) != 0) {
    Fail(FormatMessage(kCantOpenMessage, output_path_));
    return false;
  }
  return true;
}

void Conversion::Fail(const std::string& text) {
  Abandon();
  host_.ShowMessage(text, MessageKind::kFailed);
  result_ = -1;
}

void Conversion::Abandon() {
  if (input_) input_->Close();
  if (output_) output_->Close();
  input_.reset();
  output_.reset();
}

int Conversion::Finish(const char* finish_pattern) {
  // The output is closed before the user hears it is finished, so that a
  // close that fails is reported instead.
  if (output_) {
    int err = output_->Close();
    output_.reset();
    if (err != 0) {
      Fail(IoFailureMessage("write", output_path_, err));
      return result_;
    }
  }
  if (input_) {
    int err = input_->Close();
    input_.reset();
    if (err != 0) {
      Fail(IoFailureMessage("read", input_path_, err));
      return result_;
    }
  }
  host_.ShowMessage(FormatMessage(finish_pattern, output_path_), MessageKind::kFinished);
  result_ = 0;
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
