#include "drop_target.h"

#include <span>

#include "command.h"
#include "window_host.h"

namespace {

// A message box grows with its text: a long list would leave the screen.
constexpr size_t kMaxListed = 10;

void AppendList(wxString& text, std::span<const wxString> paths) {
  for (size_t i = 0; i < paths.size() && i < kMaxListed; ++i) text += "\n" + paths[i];
  if (paths.size() > kMaxListed) {
    text += wxString::Format("\n... and %zu more", paths.size() - kMaxListed);
  }
}

}  // namespace

DroppedFiles SortDroppedFiles(const wxArrayString& paths) {
  DroppedFiles files;
  for (const wxString& path : paths) {
    (ondavo::kDecode.Accepts(FileSystemText(path)) ? files.dvr : files.left_out).push_back(path);
  }
  return files;
}

wxString DropMessage(const DroppedFiles& files) {
  wxString text;
  if (files.dvr.size() == 1) {
    text = files.dvr[0];
  } else if (!files.dvr.empty()) {
    text = wxString::Format("%zu files to Decode, one after another:", files.dvr.size());
    AppendList(text, files.dvr);
  }
  if (!files.left_out.empty()) {
    if (!text.empty()) text += "\n\n";
    text += "Left out, not .DVR:";
    AppendList(text, files.left_out);
  }
  return text;
}
