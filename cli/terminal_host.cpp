#include "terminal_host.h"

namespace ondavo {

void TerminalHost::ShowMessage(const std::string& text, MessageKind kind) {
  if (kind != MessageKind::kWarning) outcome_ = kind;
  const bool trouble = kind == MessageKind::kFailed || kind == MessageKind::kRefused;
  if (quiet_ && !trouble) return;
  ClearProgress();
  std::FILE* stream = kind == MessageKind::kFinished ? out_ : err_;
  std::fprintf(stream, "%s\n", text.c_str());
  std::fflush(stream);
}

void TerminalHost::SetProgressPosition(int percent) {
  if (!show_progress_) return;
  std::fprintf(err_, "\r%3d%%", percent);
  std::fflush(err_);
  progress_shown_ = true;
}

void TerminalHost::ClearProgress() {
  if (!progress_shown_) return;
  std::fputs("\r    \r", err_);
  progress_shown_ = false;
}

}  // namespace ondavo
