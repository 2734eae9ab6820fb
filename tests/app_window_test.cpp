// The converter window on a real display, with the real codec library: its
// commands, the files chosen, dropped or named on the command line, the
// length rule, what it does while a conversion runs (real keys included),
// and the About box. The tests run one at a time (RUN_SERIAL): one moves
// the display's one pointer, and keys go to the window under it.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dnd.h>
#include <wx/fileconf.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <filesystem>
#include <vector>

#include "app_test_support.h"
#include "codec_binding.h"
#include "encoded_audio_writer.h"
#include "file_chooser.h"
#include "ondavodlg.h"
#include "test_support.h"

namespace {

using namespace ondavo::testing;
namespace fs = std::filesystem;

wxString Finished(const wxString& wav) {
  return "Finish Vek Coder Decode.\nCreate of file " + wav + " ";
}

// Shows `window` for real and puts the pointer over `target`, once both are
// on the screen.
void PointAt(wxWindow& window, wxWindow& target) {
  ASSERT_TRUE(WaitUntil([&] { return window.IsShownOnScreen() && target.IsShownOnScreen(); }));
  wxUIActionSimulator simulator;
  wxRect area = target.GetScreenRect();
  wxPoint centre(area.GetLeft() + area.GetWidth() / 2, area.GetTop() + area.GetHeight() / 2);
  // The window manager-less display maps a window a moment after it says so.
  ASSERT_TRUE(WaitUntil([&] {
    simulator.MouseMove(centre);
    return wxFindWindowAtPoint(centre) == &target;
  }));
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_strDvrFile.clear();
    g_strPcmFile.clear();
    SetFileChooser([this](wxWindow*, const wxString& filter) {
      filters_.push_back(filter);
      return chooser_answer_;
    });
  }
  void TearDown() override { SetFileChooser({}); }

  // A drop, then what the window does once it has returned.
  bool Drop(wxWindow& where, const std::vector<wxString>& paths) {
    const wxArrayString names(paths.size(), paths.data());
    bool taken = dynamic_cast<wxFileDropTarget&>(*where.GetDropTarget()).OnDropFiles(0, 0, names);
    wxTheApp->ProcessPendingEvents();
    return taken;
  }
  wxString Silence(const std::string& name, int frames) {
    WriteBytes(dir_ / name, DvrFile(8000, Frames(frames, 0xE0)));
    return dir_ / name;
  }

  // The window's setting in a file of the test's own, never the user's.
  struct ScratchConfig {
    explicit ScratchConfig(const TempDir& dir) {
      delete wxConfigBase::Set(
          new wxFileConfig("ondavo", "", dir / "ondavo.conf", "", wxCONFIG_USE_LOCAL_FILE));
    }
    ~ScratchConfig() { delete wxConfigBase::Set(nullptr); }
  };

  TempDir dir_;
  ScratchConfig config_{dir_};
  COndavoDlg dialog_;
  wxString chooser_answer_;
  std::vector<wxString> filters_;
};

// 1001 and 1002 have no control: they come as button or menu commands, and
// from the context menu. A .DVR file may be a recording: encode asks before
// it replaces one.
TEST_F(WindowTest, EncodeCommandsArriveWithoutAControlAndAskBeforeReplacing) {
  WriteBytes(dir_ / "tone.pcm", std::vector<uint8_t>(64 * 100, 0x11));
  chooser_answer_ = dir_ / "tone.pcm";
  const wxString coded = dir_ / "tone.DVR";
  const wxString finished = "Finish Vek Coder Encode.\nCreate of file " + coded + " ";
  const wxString question = coded + " exists. Replace it?";
  wxTEST_DIALOG(RunModal(dialog_,
                         [&] {
                           SendCommand(dialog_, wxEVT_BUTTON, kIdChoosePcmFile);
                           SendCommand(dialog_, wxEVT_MENU, kIdEncode);
                           SendCommand(dialog_, wxEVT_BUTTON, kIdEncode);
                           SendCommand(dialog_, wxEVT_MENU, kIdEncode);
                         }),
                ExpectMessage(chooser_answer_), ExpectMessage(finished),
                ExpectMessage(question, {}, wxID_NO), ExpectMessage(question, {}, wxID_YES),
                ExpectMessage(finished));
  EXPECT_EQ(fs::file_size(dir_ / "tone.DVR"), 100u * 9u);

  fs::remove(dir_ / "tone.DVR");
  EXPECT_TRUE(dialog_.CreateContextMenu()->IsEnabled(kIdEncodePcmFile));
  bool finished_shown = false;
  wxTEST_DIALOG(RunModal(dialog_,
                         [&] {
                           SendCommand(dialog_, wxEVT_MENU, kIdEncodePcmFile);
                           EXPECT_TRUE(WaitUntil([&] { return finished_shown; }));
                         }),
                ExpectMessage(chooser_answer_),
                ExpectMessage(finished, [&] { finished_shown = true; }));
}

// The field shows a chosen path whole, whatever its length, and Input File
// and OK then refuse it with the length rule's message, before any file
// dialog.
TEST_F(WindowTest, ALongPathIsShownWholeAndOkRefusesIt) {
  chooser_answer_ = dir_ / (std::string(1100, 'x') + ".DVR");
  auto* field = wxDynamicCast(dialog_.FindWindow(kIdDvrPath), wxTextCtrl);
  bool still_open = false;
  int result = 0;
  wxTEST_DIALOG(result = RunModal(dialog_,
                                  [&] {
                                    SendCommand(dialog_, wxEVT_BUTTON, kIdChooseDvrFile);
                                    EXPECT_EQ(field->GetValue(), chooser_answer_);
                                    EXPECT_EQ(field->GetInsertionPoint(), field->GetLastPosition());
                                    SendCommand(dialog_, wxEVT_BUTTON, kIdChooseDvrFile);
                                    SendCommand(dialog_, wxEVT_BUTTON, kIdOk);
                                    still_open = dialog_.IsModal();
                                    field->ChangeValue(wxString('x', kMaxPathLength));
                                    SendCommand(dialog_, wxEVT_BUTTON, kIdOk);
                                  }),
                ExpectMessage(chooser_answer_),
                ExpectMessage("Enter no more than 1024 characters."),
                ExpectMessage("Enter no more than 1024 characters."));
  EXPECT_EQ(filters_.size(), 1u);
  EXPECT_TRUE(still_open);
  EXPECT_EQ(result, kIdOk);
  EXPECT_EQ(dialog_.DvrPath().length(), kMaxPathLength);
}

// Events queued before a conversion starts are handled by its first pump,
// that is while it runs.
TEST_F(WindowTest, DuringAConversionASecondStartIsRefusedAndClosingWaits) {
  const wxString kBusy = "A conversion is already running";
  g_strDvrFile = Silence("long.DVR", 2000);
  bool checked = false, open_at_finish = false;
  int result = 0;
  wxTEST_DIALOG(
      result = RunModal(dialog_,
                        [&] {
                          dialog_.CallAfter([&] {
                            EXPECT_FALSE(dialog_.FindWindow(kIdDecode)->IsEnabled());
                            EXPECT_FALSE(dialog_.FindWindow(kIdChooseDvrFile)->IsEnabled());
                            EXPECT_FALSE(dialog_.CreateContextMenu()->IsEnabled(kIdEncodePcmFile));
                            SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                            SendCommand(dialog_, wxEVT_BUTTON, kIdChooseDvrFile);
                            SendCommand(dialog_, wxEVT_MENU, kIdEncode);
                            EXPECT_FALSE(Drop(dialog_, {dir_ / "b.DVR"}));
                            dialog_.Close();
                            checked = true;
                          });
                          SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                        }),
      ExpectMessage(kBusy), ExpectMessage(kBusy), ExpectMessage(kBusy), ExpectMessage(kBusy),
      ExpectMessage(Finished(dir_ / "long.WAV"), [&] { open_at_finish = dialog_.IsModal(); }));
  EXPECT_TRUE(checked);
  EXPECT_TRUE(open_at_finish);
  EXPECT_EQ(result, wxID_CANCEL);  // not the test's wxID_ABORT: the close ended it
  EXPECT_TRUE(filters_.empty());
  EXPECT_EQ(g_strDvrFile, dir_ / "long.DVR");
  EXPECT_EQ(fs::file_size(dir_ / "long.WAV"), 44u + 2000u * 320u);
}

// One file is chosen as Input File chooses it, on the field too (which would
// otherwise insert the name as text); several are decoded one after another,
// a failure not stopping the rest, and of two that would give one WAV only
// the first.
TEST_F(WindowTest, DroppedFilesAreChosenAndDecodedInTurn) {
  const wxString a = Silence("a.DVR", 100), b = dir_ / "b.DVR", c = Silence("c.DVR", 200);
  const wxString m5 = Silence("m 2024.03.05.DVR", 50), m6 = Silence("m 2024.03.06.DVR", 60);
  std::vector<std::pair<wxString, size_t>> seen;  // the field and the queue, at each message
  auto look = [&] {
    seen.emplace_back(TextOf(dialog_, kIdDvrPath), dialog_.QueuedDvrFiles().size());
  };
  wxTEST_DIALOG(RunModal(dialog_,
                         [&] {
                           EXPECT_TRUE(Drop(*dialog_.FindWindow(kIdDvrPath), {c}));
                           EXPECT_EQ(TextOf(dialog_, kIdDvrPath), c);
                           EXPECT_TRUE(Drop(dialog_, {a, dir_ / "x.txt", b, m5, m6}));
                           EXPECT_EQ(g_strDvrFile, a);
                           SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                         }),
                ExpectMessage(c),
                ExpectMessage("4 files to Decode, one after another:\n" + a + "\n" + b + "\n" + m5 +
                              "\n" + m6 + "\n\nLeft out, not .DVR:\n" + dir_ / "x.txt"),
                ExpectMessage(Finished(dir_ / "a.WAV"), look),
                ExpectMessage("Can't open file " + b + " (" + NoSuchFileReason() + ")", look),
                ExpectMessage(Finished(dir_ / "m 2024.WAV"), look),
                ExpectMessage("File " + m6 + " is not converted: its output " +
                                  dir_ / "m 2024.WAV" + " is that of " + m5,
                              look));
  std::vector<std::pair<wxString, size_t>> expected = {{a, 3}, {b, 2}, {m5, 1}, {m6, 0}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(fs::file_size(dir_ / "m 2024.WAV"), 44u + 50u * 320u);
}

// As a file manager's "Open With" starts it: the files named are chosen as a
// drop of them would be.
TEST_F(WindowTest, FilesNamedOnTheCommandLineAreChosen) {
  const wxString a = Silence("a.DVR", 10), b = Silence("b.DVR", 10);
  const wxString named[] = {a, b};
  size_t queued = 0;
  wxTEST_DIALOG(EXPECT_FALSE(static_cast<COndavoApp*>(wxTheApp)->StartUp(wxArrayString(2, named))),
                ExpectMessage("2 files to Decode, one after another:\n" + a + "\n" + b, [&] {
                  auto* window = dynamic_cast<COndavoDlg*>(wxTheApp->GetTopWindow());
                  ASSERT_NE(window, nullptr);
                  EXPECT_TRUE(window->IsModal());
                  queued = window->QueuedDvrFiles().size();
                  window->CallAfter([window] { SendCommand(*window, wxEVT_BUTTON, kIdCancel); });
                }));
  EXPECT_EQ(g_strDvrFile, a);
  EXPECT_EQ(queued, 1u);
}

// The context menu's Save as chooses what Decode writes, and a window opened
// later remembers it.
TEST_F(WindowTest, SaveAsChoosesTheFormatAndIsKept) {
  if (!ondavo::FormatAvailable(ondavo::AudioFormat::kFlac)) GTEST_SKIP() << "a WAV-only build";
  SendCommand(dialog_, wxEVT_MENU, kIdSaveAsWav + 1);  // FLAC
  g_strDvrFile = Silence("memo.DVR", 50);
  wxTEST_DIALOG(RunModal(dialog_, [&] { SendCommand(dialog_, wxEVT_BUTTON, kIdDecode); }),
                ExpectMessage(Finished(dir_ / "memo.flac")));
  EXPECT_EQ(ReadText(dir_ / "memo.flac").substr(0, 4), "fLaC");
  EXPECT_EQ(COndavoDlg().SaveAs(), ondavo::AudioFormat::kFlac);
}

// 0x0010 to 0x001F open it, since the low four bits are masked off; the
// other system commands go to the window system. The context menu, F1 and
// the system menu send the item's command.
TEST_F(WindowTest, TheAboutItemsCommandsOpenTheAboutBox) {
  for (uint32_t id = 0x0010; id <= 0x001F; ++id)
    wxTEST_DIALOG(dialog_.SystemCommand(id, 0), ExpectAbout());
  for (uint32_t id : {0x0000u, 0x000Fu, 0x0020u, 0x0110u, 0xF060u}) dialog_.SystemCommand(id, 0);
  wxTEST_DIALOG(SendCommand(dialog_, wxEVT_MENU, kIdAbout), ExpectAbout());
}

// While a conversion runs, Tab, Enter and Escape neither move the focus nor
// press OK or Cancel; F1 still reaches its command.
TEST_F(WindowTest, KeysDuringAConversionPressNoButton) {
  g_strDvrFile = Silence("a.DVR", 3000);
  wxSetEnv("ONDAVO_TEST_CODEC_DELAY_US", "300");  // about a second
  ondavo::BindCodecLibrary(RecordingCodecPath());
  wxWindow* focus_before = nullptr;
  int result = 0;
  wxTEST_DIALOG(result = RunModal(dialog_,
                                  [&] {
                                    PointAt(dialog_, *dialog_.FindWindow(kIdDecodeProgress));
                                    focus_before = wxWindow::FindFocus();
                                    // Sent now, they arrive at the conversion's pump.
                                    wxUIActionSimulator keys;
                                    for (int key : {WXK_TAB, WXK_ESCAPE, WXK_RETURN, WXK_F1})
                                      keys.Char(key);
                                    SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                                    EXPECT_EQ(wxWindow::FindFocus(), focus_before);
                                  }),
                ExpectAbout(),
                ExpectMessage("Finish Vek Coder Decode.\nCreate of file " + dir_ / "a.WAV" + " "));
  wxUnsetEnv("ONDAVO_TEST_CODEC_DELAY_US");
  ondavo::BindCodecLibrary();
  EXPECT_EQ(result, wxID_ABORT);  // still open when the test ended it
}

}  // namespace
