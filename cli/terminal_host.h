// Runs a conversion in a terminal: the path comes from the command line,
// finished messages go to standard output and the others to standard error,
// and the progress shows on standard error when that is a terminal. Quiet,
// it tells only what went wrong.
#ifndef ONDAVO_CLI_TERMINAL_HOST_H_
#define ONDAVO_CLI_TERMINAL_HOST_H_

#include <cstdio>
#include <optional>
#include <string>

#include "conversion_host.h"

namespace ondavo {

class TerminalHost final : public ConversionHost {
 public:
  TerminalHost(std::string path, bool show_progress, bool quiet, std::FILE* out = stdout,
               std::FILE* err = stderr)
      : path_(std::move(path)),
        show_progress_(show_progress),
        quiet_(quiet),
        out_(out),
        err_(err) {}

  std::string ChosenPath() override { return path_; }
  void ShowMessage(const std::string& text, MessageKind kind) override;
  void SetProgressPosition(int percent) override;
  void PumpMessages() override {}

  // The kind of the last message but a warning: how the run ended.
  std::optional<MessageKind> outcome() const { return outcome_; }

 private:
  void ClearProgress();

  std::string path_;
  bool show_progress_;
  bool quiet_;
  std::FILE* out_;
  std::FILE* err_;
  bool progress_shown_ = false;
  std::optional<MessageKind> outcome_;
};

}  // namespace ondavo

#endif  // ONDAVO_CLI_TERMINAL_HOST_H_
