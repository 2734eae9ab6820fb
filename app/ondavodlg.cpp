#include "ondavodlg.h"

#include <wx/app.h>
#include <wx/config.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>
#include <utility>

#include "codec_binding.h"
#include "command.h"
#include "decode_command.h"
#include "drop_target.h"
#include "encoded_audio_writer.h"
#include "file_chooser.h"
#include "minimized_icon.h"
#include "output_claims.h"
#include "resources.h"
#include "window_host.h"

#ifdef __WXMSW__
#include <wx/msw/wrapwin.h>
// <windows.h> names its FormatMessageA or FormatMessageW FormatMessage.
#undef FormatMessage
#endif

wxString g_strPcmFile;
wxString g_strDvrFile;
wxGauge* g_pEncodeProgress = nullptr;
wxGauge* g_pDecodeProgress = nullptr;

// The command table. On Windows the system command, paint and drag-icon
// messages come through MSWWindowProc. The About item also arrives as a menu
// command: from the context menu and F1 everywhere, from the system menu on
// Windows. The progress bars' out-of-memory notification has no counterpart
// in wxWidgets, so it has no row here.
// clang-format off
wxBEGIN_EVENT_TABLE(COndavoDlg, wxDialog)
  EVT_MENU_RANGE(kIdAbout, kIdAbout + 0xF, COndavoDlg::SystemCommandEvent)
  EVT_BUTTON(kIdEncode, COndavoDlg::Command<&COndavoDlg::EncodeCommand>)
  EVT_MENU(kIdEncode, COndavoDlg::Command<&COndavoDlg::EncodeCommand>)
  EVT_BUTTON(kIdChoosePcmFile, COndavoDlg::Command<&COndavoDlg::ChoosePcmFileCommand>)
  EVT_MENU(kIdChoosePcmFile, COndavoDlg::Command<&COndavoDlg::ChoosePcmFileCommand>)
  EVT_BUTTON(kIdChooseDvrFile, COndavoDlg::Command<&COndavoDlg::ChooseDvrFileCommand>)
  EVT_BUTTON(kIdDecode, COndavoDlg::Command<&COndavoDlg::DecodeCommand>)
  EVT_MENU(kIdEncodePcmFile, COndavoDlg::Command<&COndavoDlg::EncodePcmFile>)
  EVT_CONTEXT_MENU(COndavoDlg::ContextMenuEvent)
  EVT_MENU_RANGE(kIdSaveAsWav, kIdSaveAsLast, COndavoDlg::SaveAsEvent)
  EVT_INIT_DIALOG(COndavoDlg::InitDialogEvent)
wxEND_EVENT_TABLE();
// clang-format on

COndavoDlg::COndavoDlg(wxWindow* parent) {
  LoadOndavoResources();
  // A choice this build cannot write, or none, is WAV.
  const auto chosen = ondavo::FormatNamed(
      wxConfigBase::Get()->Read(kSaveAsKey, "wav").utf8_string());
  if (chosen && ondavo::FormatAvailable(*chosen)) m_saveAs = *chosen;
  wxXmlResource::Get()->LoadDialog(this, parent, "102");
  SetAffirmativeId(kIdOk);
  SetEscapeId(kIdCancel);
  m_hIcon = OndavoIcons();
  wxAcceleratorEntry about_key(wxACCEL_NORMAL, WXK_F1, kIdAbout);
  SetAcceleratorTable(wxAcceleratorTable(1, &about_key));
  // The field would otherwise take a dropped file's name as text to insert.
  auto take = [this](const wxArrayString& paths) {
    if (m_bConverting) {
      CallAfter([this] { ShowMessage(ondavo::kBusyMessage); });
      return false;
    }
    CallAfter([this, paths] { DropFiles(paths); });
    return true;
  };
  SetDropTarget(new DvrDropTarget(take));
  if (wxWindow* field = FindWindow(kIdDvrPath)) field->SetDropTarget(new DvrDropTarget(take));
  // While a conversion runs, the window's keyboard handling rests: Tab,
  // Enter and Escape neither move the focus nor press OK or Cancel. The key
  // reaches the focused control first, and on Windows a button presses
  // itself on Enter there: so the controls hold it back as the window does.
  auto rest = [this](wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    const bool navigation =
        key == WXK_TAB || key == WXK_RETURN || key == WXK_NUMPAD_ENTER || key == WXK_ESCAPE;
    if (!m_bConverting || !navigation) event.Skip();
  };
  Bind(wxEVT_CHAR_HOOK, rest);
  for (wxWindow* control : GetChildren()) control->Bind(wxEVT_CHAR_HOOK, rest);
}

COndavoDlg::~COndavoDlg() {
  // The bars go with the window.
  if (g_pDecodeProgress != nullptr && g_pDecodeProgress->GetParent() == this) {
    g_pDecodeProgress = nullptr;
  }
  if (g_pEncodeProgress != nullptr && g_pEncodeProgress->GetParent() == this) {
    g_pEncodeProgress = nullptr;
  }
}

bool COndavoDlg::StartDialog() {
  TransferDataToWindow();
  UpdateWindowUI(wxUPDATE_UI_RECURSE);
#ifdef __WXMSW__
  if (wxMenu* system_menu = MSWGetSystemMenu()) {
    wxString about = kAboutItemText;
    if (!about.empty()) {
      system_menu->AppendSeparator();
      system_menu->Append(kIdAbout, about);
    }
  }
#endif
  // Other window systems keep their window menu to themselves: the About
  // item is in the context menu and on F1 instead.
  SetIcons(m_hIcon);
  g_pEncodeProgress = wxDynamicCast(FindWindow(kIdEncodeProgress), wxGauge);
  g_pDecodeProgress = wxDynamicCast(FindWindow(kIdDecodeProgress), wxGauge);
  ondavo::BindCodecLibrary();
  // The first control in tab order, OK, starts with the focus, so that Enter
  // ends the program; GTK on its own would pick the top-most control.
  if (wxWindow* ok = FindWindow(kIdOk)) ok->SetFocus();
  return true;
}

bool COndavoDlg::ExchangeData(bool save) {
  bool base = save ? wxDialog::TransferDataFromWindow() : wxDialog::TransferDataToWindow();
  return base && ExchangePath(kIdPcmPath, m_strPcmPath, save) &&
         ExchangePath(kIdDvrPath, m_strDvrPath, save);
}

bool COndavoDlg::ExchangePath(int id, wxString& member, bool save) {
  wxTextCtrl* field = wxDynamicCast(FindWindow(id), wxTextCtrl);
  if (field == nullptr) return true;
  if (!save) {
    // The limit binds what is typed. A longer path that was chosen is shown
    // whole (a text field would cut it to the limit), and the saving
    // exchange refuses it. The end of the path, the file's name, is what
    // the narrow field shows.
    field->SetMaxLength(std::max<unsigned long>(kMaxPathLength, member.length()));
    field->ChangeValue(member);
    field->SetInsertionPointEnd();
    return true;
  }
  wxString text = field->GetValue();
  if (text.length() > kMaxPathLength) {
    ShowMessage(wxString::Format("Enter no more than %zu characters.", kMaxPathLength));
    field->SetFocus();
    return false;
  }
  member = text;
  return true;
}

void COndavoDlg::ShowMessage(const wxString& text) {
  // No icon: the toolkit would otherwise add the information icon.
  wxMessageDialog box(this, text, wxTheApp->GetAppDisplayName(), wxOK | wxICON_NONE);
  box.ShowModal();
}

int COndavoDlg::DecodeCommand() {
  return RunConversion(ondavo::DecodeCommandFor(m_saveAs), g_strDvrFile, g_pDecodeProgress, {},
                       &COndavoDlg::TakeQueuedDvrFile);
}

int COndavoDlg::EncodeCommand() {
  // The .DVR file it would replace may be a recording: the user decides.
  ondavo::ConversionOptions options;
  options.existing_output = ondavo::ExistingOutput::kAsk;
  options.confirm_replace = [this](const std::string& output) {
    wxMessageDialog ask(this,
                        TextFromFileSystem(ondavo::FormatMessage(ondavo::kReplaceQuestion, output)),
                        wxTheApp->GetAppDisplayName(), wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);
    return ask.ShowModal() == wxID_YES;
  };
  return RunConversion(ondavo::kEncode, g_strPcmFile, g_pEncodeProgress, options);
}

int COndavoDlg::RunConversion(const ondavo::Command& command, const wxString& path,
                              wxGauge* progress, const ondavo::ConversionOptions& options,
                              NextInput next) {
  WindowHost host(*this, path, progress);
  // A start from within a running conversion: the core refuses it and says why.
  if (m_bConverting) return command.run(host, options);

  m_bConverting = true;
  const int kStarters[] = {kIdDecode, kIdChooseDvrFile};
  for (int id : kStarters) {
    if (wxWindow* control = FindWindow(id)) control->Disable();
  }
  // The window stays busy from the first input to the last. A failure is
  // told by its own message and does not hold up the inputs after it;
  // closing the window stops the run after the current one.
  int result = 0;
  // Two queued inputs that would write one output: only the first does.
  ondavo::OutputClaims claims;
  do {
    m_pump.Restart();
    std::string input = FileSystemText(path);
    if (next != nullptr && command.Accepts(input)) {
      std::string refusal = claims.Claim(input, command.OutputPathFor(input));
      if (!refusal.empty()) {
        ShowMessage(TextFromFileSystem(refusal));
        result = -1;
        continue;
      }
    }
    result = std::min(result, command.run(host, options));
  } while (!m_deferredEnd && next != nullptr && (this->*next)());
  m_bConverting = false;
  for (int id : kStarters) {
    if (wxWindow* control = FindWindow(id)) control->Enable();
  }
  if (m_deferredEnd && IsModal()) wxDialog::EndModal(*std::exchange(m_deferredEnd, std::nullopt));
  return result;
}

void COndavoDlg::EndModal(int result) {
  if (m_bConverting) {
    // The conversion runs to its end and shows its closing message first.
    m_deferredEnd = result;
    for (int id : {kIdOk, kIdCancel}) {
      if (wxWindow* control = FindWindow(id)) control->Disable();
    }
    return;
  }
  wxDialog::EndModal(result);
}

void COndavoDlg::ChooseDvrFileCommand() {
  // The fields are saved first, as OK saves them: a path over the length
  // rule is refused with its message before the file dialog would open.
  if (!m_bConverting && !TransferDataFromWindow()) return;
  if (std::optional<wxString> path = ChooseInputFile(kDvrFileFilter)) TakeDvrFiles({*path}, *path);
}

void COndavoDlg::ChoosePcmFileCommand() {
  if (std::optional<wxString> path = ChooseInputFile(kPcmFileFilter)) {
    TakeInputFile(*path, *path, g_strPcmFile, m_strPcmPath);
  }
}

std::optional<wxString> COndavoDlg::ChooseInputFile(const wxString& filter) {
  // The file dialog would hold the running conversion until it closes.
  if (m_bConverting) {
    ShowMessage(ondavo::kBusyMessage);
    return std::nullopt;
  }
  return RunFileChooser(this, filter);
}

void COndavoDlg::DropFiles(const wxArrayString& paths) {
  // A conversion reads its input's path as it starts, and a run of several
  // reads the queue between inputs.
  if (m_bConverting) {
    ShowMessage(ondavo::kBusyMessage);
    return;
  }
  DroppedFiles files = SortDroppedFiles(paths);
  wxString message = DropMessage(files);
  // With nothing to decode the choice stays as it was: a stray drop costs nothing.
  if (files.dvr.empty()) {
    if (!message.empty()) ShowMessage(message);
    return;
  }
  TakeDvrFiles(files.dvr, message);
}

void COndavoDlg::TakeDvrFiles(const std::vector<wxString>& paths, const wxString& message) {
  m_dvrQueue.assign(paths.begin() + 1, paths.end());
  TakeInputFile(paths.front(), message, g_strDvrFile, m_strDvrPath);
}

void COndavoDlg::TakeInputFile(const wxString& path, const wxString& message, wxString& chosen,
                               wxString& member) {
  TransferDataFromWindow();  // a field over the length rule does not stop the choice
  chosen = path;
  ShowMessage(message);
  member = chosen;
  TransferDataToWindow();
}

bool COndavoDlg::TakeQueuedDvrFile() {
  if (m_dvrQueue.empty()) return false;
  g_strDvrFile = m_dvrQueue.front();
  m_dvrQueue.pop_front();
  // The field follows the file under way; the other field is left alone.
  m_strDvrPath = g_strDvrFile;
  ExchangePath(kIdDvrPath, m_strDvrPath, false);
  return true;
}

void COndavoDlg::EncodePcmFile() {
  // After the popup menu has closed, not from inside its own loop.
  CallAfter([this] {
    SendCommand(kIdChoosePcmFile);
    SendCommand(kIdEncode);
  });
}

void COndavoDlg::SendCommand(int id) {
  wxCommandEvent event(wxEVT_MENU, id);
  event.SetEventObject(this);
  ProcessWindowEvent(event);
}

std::unique_ptr<wxMenu> COndavoDlg::CreateContextMenu() const {
  auto menu = std::make_unique<wxMenu>();
  menu->Append(kIdEncodePcmFile, kEncodeItemText)->Enable(!m_bConverting);
  auto save_as = std::make_unique<wxMenu>();
  const char* const names[] = {"&WAV", "&FLAC", "Ogg &Opus", "&MP3"};
  for (int id = kIdSaveAsWav; id <= kIdSaveAsLast; ++id) {
    const auto format = static_cast<ondavo::AudioFormat>(id - kIdSaveAsWav);
    if (!ondavo::FormatAvailable(format)) continue;
    save_as->AppendRadioItem(id, names[id - kIdSaveAsWav])->Check(format == m_saveAs);
  }
  menu->AppendSubMenu(save_as.release(), "Save &as")->Enable(!m_bConverting);
  menu->AppendSeparator();
  menu->Append(kIdAbout, wxString(kAboutItemText) + "\tF1");
  return menu;
}

void COndavoDlg::ContextMenuEvent(wxContextMenuEvent& event) {
  // A text field keeps its own menu of editing commands.
  if (wxDynamicCast(event.GetEventObject(), wxTextCtrl) != nullptr) {
    event.Skip();
    return;
  }
  std::unique_ptr<wxMenu> menu = CreateContextMenu();
  PopupMenu(menu.get());
}

void COndavoDlg::SaveAsEvent(wxCommandEvent& event) {
  const auto format = static_cast<ondavo::AudioFormat>(event.GetId() - kIdSaveAsWav);
  if (!ondavo::FormatAvailable(format)) return;
  m_saveAs = format;
  wxConfigBase* config = wxConfigBase::Get();
  config->Write(kSaveAsKey, wxString(std::string(ondavo::FormatName(m_saveAs))));
  config->Flush();
}

void COndavoDlg::SystemCommand(uint32_t id, intptr_t lParam) {
  if ((id & 0xFFF0) == kIdAbout) {
    CAboutDialog about(this);
    about.ShowModal();
    return;
  }
  DefaultSystemCommand(id, lParam);
}

void COndavoDlg::DefaultSystemCommand(uint32_t id, intptr_t lParam) {
#ifdef __WXMSW__
  wxDialog::MSWWindowProc(WM_SYSCOMMAND, id, lParam);
#else
  // Elsewhere the window manager runs the window menu itself.
  wxUnusedVar(id);
  wxUnusedVar(lParam);
#endif
}

#ifdef __WXMSW__
WXLRESULT COndavoDlg::MSWWindowProc(WXUINT message, WXWPARAM wParam, WXLPARAM lParam) {
  switch (message) {
    case WM_SYSCOMMAND:
      SystemCommand(static_cast<uint32_t>(wParam), lParam);
      return 0;
    case WM_PAINT:
      if (::IsIconic(static_cast<HWND>(GetHWND()))) {
        Paint();
        return 0;
      }
      break;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<WXLRESULT>(QueryDragIcon());
  }
  return wxDialog::MSWWindowProc(message, wParam, lParam);
}

void COndavoDlg::Paint() {
  HWND window = static_cast<HWND>(GetHWND());
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window, &paint);
  ::SendMessage(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  int icon_width = ::GetSystemMetrics(SM_CXICON);
  int icon_height = ::GetSystemMetrics(SM_CYICON);
  RECT client;
  ::GetClientRect(window, &client);
  IconOrigin at = MinimizedIconOrigin(client.right - client.left, client.bottom - client.top,
                                      icon_width, icon_height);
  wxIcon icon = m_hIcon.GetIcon(wxSize(icon_width, icon_height));
  ::DrawIcon(dc, at.x, at.y, static_cast<HICON>(icon.GetHICON()));
  ::EndPaint(window, &paint);
}

WXHICON COndavoDlg::QueryDragIcon() {
  return m_hIcon.GetIcon(wxSize(32, 32)).GetHICON();
}
#endif

CAboutDialog::CAboutDialog(wxWindow* parent) {
  LoadOndavoResources();
  wxXmlResource::Get()->LoadDialog(this, parent, "100");
  if (parent != nullptr) CentreOnParent();
  // Escape and the close box end it too: with no Cancel button they stand for OK.
  SetAffirmativeId(kIdOk);
}
