#include "window_host.h"

#include <algorithm>

#include "ondavodlg.h"

std::string FileSystemText(const wxString& text) {
  // fn_str() itself, except on Windows, where fn_str() is wide.
  wxCharBuffer bytes = text.mb_str(*wxConvFileName);
  return std::string(bytes.data(), bytes.length());
}

wxString TextFromFileSystem(const std::string& bytes) {
  wxString text(bytes.c_str(), *wxConvFileName);
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
