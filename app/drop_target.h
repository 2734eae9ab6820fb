// Files dropped on the converter window. The .DVR recordings among them
// become Decode's inputs, as if chosen with Input File; Decode converts
// several one after another.
#ifndef ONDAVO_APP_DROP_TARGET_H_
#define ONDAVO_APP_DROP_TARGET_H_

#include <wx/arrstr.h>
#include <wx/dnd.h>
#include <wx/string.h>

#include <functional>
#include <vector>

// A drop's paths, in the drop's order, split by the decode's own test of a
// path (ondavo::kDecode.Accepts), so that the two never disagree.
struct DroppedFiles {
  std::vector<wxString> dvr;
  std::vector<wxString> left_out;  // the decode would refuse them
};
DroppedFiles SortDroppedFiles(const wxArrayString& paths);

// What a drop tells the user in one message: a single path alone, as Input
// File shows it; several as a list, followed by any left out.
wxString DropMessage(const DroppedFiles& files);

// Hands the dropped paths to a window. `take` answers at once whether the
// drop is taken; the drag's source waits for that answer, so it asks the
// user nothing before it returns.
class DvrDropTarget : public wxFileDropTarget {
 public:
  using Take = std::function<bool(const wxArrayString& paths)>;
  explicit DvrDropTarget(Take take) : take_(std::move(take)) {}

  bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& paths) override { return take_(paths); }

 private:
  Take take_;
};

#endif  // ONDAVO_APP_DROP_TARGET_H_
