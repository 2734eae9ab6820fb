// What a conversion started from the window sees of it: the chosen path, the
// window's message box, one of its progress bars (or none) and its message
// pump.
#ifndef ONDAVO_APP_WINDOW_HOST_H_
#define ONDAVO_APP_WINDOW_HOST_H_

#include <wx/gauge.h>
#include <wx/string.h>

#include <string>

#include "conversion_host.h"

class COndavoDlg;

class WindowHost : public ondavo::ConversionHost {
 public:
  // `path` is read when the conversion asks for it; `progress` may be null,
  // and the positions then go nowhere.
  WindowHost(COndavoDlg& window, const wxString& path, wxGauge* progress)
      : window_(window), path_(path), progress_(progress) {}

  std::string ChosenPath() override;
  void ShowMessage(const std::string& text, ondavo::MessageKind kind) override;
  void SetProgressPosition(int percent) override;
  void PumpMessages() override;

 private:
  COndavoDlg& window_;
  const wxString& path_;
  wxGauge* progress_;
};

// A path as the file system spells it, and back: the conversion works with
// the bytes that name a file.
std::string FileSystemText(const wxString& text);
wxString TextFromFileSystem(const std::string& bytes);

#endif  // ONDAVO_APP_WINDOW_HOST_H_
