// What a conversion needs of the program that runs it: the chosen path, a
// way to tell the user something, a progress position, and a chance to let
// the program handle its own events between frames. The window, the command
// line and the tests each supply these four, and the commands use nothing else
// of them.
#ifndef ONDAVO_CONVERT_CONVERSION_HOST_H_
#define ONDAVO_CONVERT_CONVERSION_HOST_H_

#include <string>

namespace ondavo {

// Why a message is shown; a window shows them alike, a terminal sends the
// finished ones to standard output and the rest to standard error.
enum class MessageKind {
  kFinished,  // the conversion is done and its output complete
  kRefused,   // nothing suitable was chosen; nothing was opened
  kFailed,    // something went wrong; see the text
  kSkipped,   // the output exists and the run was asked not to replace it
  kWarning,   // the run goes on, but the user should know; another message follows
};

class ConversionHost {
 public:
  virtual ~ConversionHost() = default;

  // The input path the user chose, read once as the command starts.
  virtual std::string ChosenPath() = 0;
  // Tells the user; returns when the user has seen it.
  virtual void ShowMessage(const std::string& text, MessageKind kind) = 0;
  // A percentage, 0 to 100.
  virtual void SetProgressPosition(int percent) = 0;
  // Called after every frame; handles whatever the program has pending.
  virtual void PumpMessages() = 0;
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_CONVERSION_HOST_H_
