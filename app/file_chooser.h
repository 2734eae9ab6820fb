// Asks the user for an input file in the platform's open dialog. Behind a
// replaceable function, since a test cannot drive the platform's dialog.
#ifndef ONDAVO_APP_FILE_CHOOSER_H_
#define ONDAVO_APP_FILE_CHOOSER_H_

#include <wx/string.h>
#include <wx/window.h>

#include <functional>

// `filter` is one "description|pattern" pair. Returns the chosen file's full
// path, or an empty text when the user cancels. A name of a file that does
// not exist is accepted once the user confirms that it may be created; the
// file itself is not created.
using FileChooser = std::function<wxString(wxWindow* owner, const wxString& filter)>;

wxString ChooseFileToOpen(wxWindow* owner, const wxString& filter);

// The chooser the window uses: ChooseFileToOpen, unless replaced.
wxString RunFileChooser(wxWindow* owner, const wxString& filter);
// Replaces it; an empty function restores ChooseFileToOpen.
void SetFileChooser(FileChooser chooser);

#endif  // ONDAVO_APP_FILE_CHOOSER_H_
