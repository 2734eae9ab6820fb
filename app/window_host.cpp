#include "window_host.h"

#include <algorithm>

#include "ondavodlg.h"

// The conversion's paths are UTF-8 on Windows: said here, not left to
// wxConvFileName, which has been the C library's multibyte encoding there in
// some wxWidgets versions. Elsewhere they are the file names' own bytes.
namespace {
#ifdef __WXMSW__
const wxMBConv& PathConversion() {
  return wxConvUTF8;
}
#else
const wxMBConv& PathConversion() {
  return *wxConvFileName;
}
#endif
}  // namespace

std::string FileSystemText(const wxString& text) {
  wxCharBuffer bytes = text.mb_str(PathConversion());
  return std::string(bytes.data(), bytes.length());
}

wxString TextFromFileSystem(const std::string& bytes) {
  wxString text(bytes.c_str(), PathConversion());
  // A name that is not in the file system's encoding still shows, if garbled.
  if (text.empty() && !bytes.empty()) text = wxString::From8BitData(bytes.c_str());
  return text;
}

std::string WindowHost::ChosenPath() {
  return FileSystemText(path_);
}

void WindowHost::ShowMessage(const std::string& text, ondavo::MessageKind kind) {
  // The window tells the outcome alone; a warning comes with the outcome.
  if (kind == ondavo::MessageKind::kWarning) return;
  window_.ShowMessage(TextFromFileSystem(text));
}

void WindowHost::SetProgressPosition(int percent) {
  if (progress_ == nullptr) return;
  // The bar asserts outside its range.
  int position = std::clamp(percent, 0, progress_->GetRange());
  if (progress_->GetValue() != position) progress_->SetValue(position);
}

void WindowHost::PumpMessages() {
  window_.PumpMessages();
}
