// The converter window (layout 102) and the About box (layout 100).
//
// The window routes its buttons, and the commands that no control carries,
// to handlers that take no arguments; it runs the conversions on its own
// thread and lends them its message box, progress bars and message pump.
// Recordings dropped on it are chosen as Input File chooses one; several are
// decoded one after another.
#ifndef ONDAVO_APP_ONDAVODLG_H_
#define ONDAVO_APP_ONDAVODLG_H_

#include <wx/arrstr.h>
#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/iconbndl.h>
#include <wx/menu.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "audio_format.h"
#include "conversion.h"
#include "message_pump.h"

// Identifiers of layout 102, and the commands no control carries.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdDecode = 1000;          // button "Decode"
inline constexpr int kIdEncode = 1001;          // no control
inline constexpr int kIdChoosePcmFile = 1002;   // no control
inline constexpr int kIdPcmPath = 1003;         // hidden field
inline constexpr int kIdChooseDvrFile = 1004;   // button "Input File"
inline constexpr int kIdDvrPath = 1005;         // field
inline constexpr int kIdEncodeProgress = 1006;  // no control
inline constexpr int kIdDecodeProgress = 1007;  // progress bar

// The About item; SystemCommand looks only at the bits above the low four.
inline constexpr int kIdAbout = 0x0010;
inline constexpr char kAboutItemText[] = "&About Ondavo...";
// The context menu's way to the encode commands, which have no control.
inline constexpr int kIdEncodePcmFile = 1101;
inline constexpr char kEncodeItemText[] = "&Encode PCM File...";
// The context menu's "Save as" choices, in AudioFormat's order: what Decode
// writes. The window's one setting, kept between runs in the user's
// configuration (wxConfigBase::Get()) under kSaveAsKey.
inline constexpr int kIdSaveAsWav = 1110;
inline constexpr int kIdSaveAsLast = 1113;
inline constexpr char kSaveAsKey[] = "SaveAs";

inline constexpr char kDvrFileFilter[] = "DVR File (*.DVR)|*.DVR";
inline constexpr char kPcmFileFilter[] = "PCM File (*.pcm)|*.pcm";

// The most characters a path field gives up when its text is saved.
inline constexpr size_t kMaxPathLength = 1024;

// The last chosen inputs, read once by each conversion as it starts.
extern wxString g_strPcmFile;
extern wxString g_strDvrFile;
// The progress bars 1006 (absent from layout 102, so null) and 1007, while
// the window exists.
extern wxGauge* g_pEncodeProgress;
extern wxGauge* g_pDecodeProgress;

class COndavoDlg : public wxDialog {
 public:
  explicit COndavoDlg(wxWindow* parent = nullptr);
  ~COndavoDlg() override;

  // Command handlers. The conversions return the core's result.
  int DecodeCommand();
  int EncodeCommand();
  void ChooseDvrFileCommand();
  void ChoosePcmFileCommand();
  // Opens the About box for 0x0010 to 0x001F; anything else is the system's.
  void SystemCommand(uint32_t id, intptr_t lParam);
  // Runs 1002, then 1001; from the context menu.
  void EncodePcmFile();
  // Files dropped on the window: the .DVR ones replace Decode's inputs, as
  // Input File does; any others are left out with a word.
  void DropFiles(const wxArrayString& paths);

  // Host operations of the conversions.
  void ShowMessage(const wxString& text);
  void PumpMessages() { m_pump.Pump(); }

  // Fields 1003 and 1005 to and from their members, with the length rule:
  // saving a longer text fails with a message and the focus on that field.
  bool ExchangeData(bool save);
  // Once the window and its controls exist: fills the fields, sets the
  // icons, finds the progress bars and binds the codec library.
  bool StartDialog();

  // The context menu's items, enabled for the window's state.
  std::unique_ptr<wxMenu> CreateContextMenu() const;
  bool IsConverting() const { return m_bConverting; }
  ondavo::AudioFormat SaveAs() const { return m_saveAs; }
  const wxString& DvrPath() const { return m_strDvrPath; }
  // The files Decode converts after g_strDvrFile, in order.
  const std::deque<wxString>& QueuedDvrFiles() const { return m_dvrQueue; }

  bool TransferDataToWindow() override { return ExchangeData(false); }
  bool TransferDataFromWindow() override { return ExchangeData(true); }
  // While a conversion runs, ending the dialog waits for it to finish.
  void EndModal(int result) override;

#ifdef __WXMSW__
  WXLRESULT MSWWindowProc(WXUINT message, WXWPARAM wParam, WXLPARAM lParam) override;
#endif

 private:
  // Moves the next queued input into place; false when there is none.
  using NextInput = bool (COndavoDlg::*)();

  // Binds an event to a handler that takes no arguments.
  template <auto Handler>
  void Command(wxCommandEvent&) {
    (this->*Handler)();
  }
  void InitDialogEvent(wxInitDialogEvent&) {
    StartDialog();
  }
  void SystemCommandEvent(wxCommandEvent& event) {
    SystemCommand(event.GetId(), 0);
  }
  void ContextMenuEvent(wxContextMenuEvent& event);
  void SaveAsEvent(wxCommandEvent& event);

  int RunConversion(const ondavo::Command& command, const wxString& path, wxGauge* progress,
                    const ondavo::ConversionOptions& options, NextInput next = nullptr);
  // The file dialog's answer, or nothing while a conversion runs.
  std::optional<wxString> ChooseInputFile(const wxString& filter);
  // What choosing an input does, from the file dialog or a drop: the
  // conversion's path and the field take `path`, and `message` is shown.
  void TakeInputFile(const wxString& path, const wxString& message, wxString& chosen,
                     wxString& member);
  // The first of `paths` now, the others queued behind it.
  void TakeDvrFiles(const std::vector<wxString>& paths, const wxString& message);
  bool TakeQueuedDvrFile();
  bool ExchangePath(int id, wxString& member, bool save);
  void SendCommand(int id);
  void DefaultSystemCommand(uint32_t id, intptr_t lParam);
#ifdef __WXMSW__
  void Paint();
  WXHICON QueryDragIcon();
#endif

  wxString m_strPcmPath;
  wxString m_strDvrPath;
  wxIconBundle m_hIcon;
  std::deque<wxString> m_dvrQueue;

  MessagePump m_pump;
  bool m_bConverting = false;
  ondavo::AudioFormat m_saveAs = ondavo::AudioFormat::kWav;
  // How the dialog was ended while a conversion ran.
  std::optional<int> m_deferredEnd;

  wxDECLARE_EVENT_TABLE();
};

// The About box: the icon, the program's version and OK.
class CAboutDialog : public wxDialog {
 public:
  explicit CAboutDialog(wxWindow* parent);
};

#endif  // ONDAVO_APP_ONDAVODLG_H_
