#include "file_chooser.h"

#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>

namespace {

FileChooser& CurrentChooser() {
  static FileChooser chooser;
  return chooser;
}

bool ConfirmCreation(wxWindow* owner, const wxString& path) {
  wxMessageDialog ask(owner,
                      wxString::Format("%s\nThis file does not exist.\nCreate the file?", path),
                      "Open", wxYES_NO | wxICON_QUESTION);
  return ask.ShowModal() == wxID_YES;
}

}  // namespace

wxString ChooseFileToOpen(wxWindow* owner, const wxString& filter) {
  // No wxFD_FILE_MUST_EXIST: a new name is allowed after a confirmation.
  // GTK's dialog has no read-only check box to hide.
  wxFileDialog dialog(owner, "Open", wxEmptyString, wxEmptyString, filter, wxFD_OPEN);
  for (;;) {
    // GetPath() reports the highlighted file even after Cancel: the result decides.
    if (dialog.ShowModal() != wxID_OK) return wxEmptyString;
    wxString path = dialog.GetPath();
    if (wxFileName::Exists(path) || ConfirmCreation(owner, path)) return path;
  }
}

wxString RunFileChooser(wxWindow* owner, const wxString& filter) {
  const FileChooser& chooser = CurrentChooser();
  return chooser ? chooser(owner, filter) : ChooseFileToOpen(owner, filter);
}

void SetFileChooser(FileChooser chooser) {
  CurrentChooser() = std::move(chooser);
}
