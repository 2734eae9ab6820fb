// The converter window on a real display, with the real codec library: its
// controls, its commands, the length rule, and what it does while a
// conversion runs.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "app_test_support.h"
#include "codec_binding.h"
#include "file_chooser.h"
#include "ondavodlg.h"
#include "test_support.h"

namespace {

using ondavo::testing::TempDir;
using ondavo::testing::WriteBytes;
namespace fs = std::filesystem;

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

  TempDir dir_;
  COndavoDlg dialog_;
  wxString chooser_answer_;
  std::vector<wxString> filters_;
};

TEST_F(WindowTest, HasTheLayoutsControlsInTabOrder) {
  EXPECT_EQ(dialog_.GetTitle(), "Ondavo");
  struct Expected {
    int id;
    const char* label;
  };
  const Expected expected[] = {
      {1, "OK"},
      {2, "Cancel"},
      {1000, "Decode"},
      {1003, ""},
      {1004, "Input File"},
      {1005, ""},
      {wxID_STATIC, "Open Voice File"},
      {1007, ""},
      {wxID_STATIC, "VEK  ---> PCM "},
  };
  const wxWindowList& children = dialog_.GetChildren();
  ASSERT_EQ(children.size(), std::size(expected));
  size_t i = 0;
  for (wxWindow* child : children) {
    EXPECT_EQ(child->GetId(), expected[i].id) << i;
    if (wxDynamicCast(child, wxTextCtrl) == nullptr) {
      EXPECT_EQ(child->GetLabel(), expected[i].label) << i;
    }
    ++i;
  }
  EXPECT_FALSE(dialog_.FindWindow(1003)->IsShown());
  EXPECT_EQ(dialog_.GetDefaultItem(), dialog_.FindWindow(1));
  EXPECT_EQ(wxDynamicCast(dialog_.FindWindow(1007), wxGauge)->GetRange(), 100);
  EXPECT_EQ(dialog_.FindWindow(1001), nullptr);
  EXPECT_EQ(dialog_.FindWindow(1002), nullptr);
  EXPECT_EQ(dialog_.FindWindow(1006), nullptr);
  EXPECT_EQ(dialog_.GetAffirmativeId(), 1);
  EXPECT_EQ(dialog_.GetEscapeId(), 2);

  // Positions and sizes in dialog units, within rounding.
  wxPoint decode = dialog_.ConvertPixelsToDialog(dialog_.FindWindow(1000)->GetPosition());
  wxSize decode_size = dialog_.ConvertPixelsToDialog(dialog_.FindWindow(1000)->GetSize());
  EXPECT_NEAR(decode.x, 59, 1);
  EXPECT_NEAR(decode.y, 71, 1);
  EXPECT_NEAR(decode_size.x, 65, 1);
  EXPECT_NEAR(decode_size.y, 29, 1);
  wxSize client = dialog_.ConvertPixelsToDialog(dialog_.GetClientSize());
  EXPECT_NEAR(client.x, 185, 1);
  EXPECT_NEAR(client.y, 161, 1);
}

TEST_F(WindowTest, StartFindsTheBarsSetsTheIconsAndBindsTheCodec) {
  RunModal(dialog_, [&] {
    EXPECT_EQ(g_pEncodeProgress, nullptr);
    EXPECT_EQ(g_pDecodeProgress, dialog_.FindWindow(1007));
    const wxIconBundle& icons = dialog_.GetIcons();
    ASSERT_EQ(icons.GetIconCount(), 3u);
    for (int size : {16, 32, 48}) {
      EXPECT_EQ(icons.GetIconOfExactSize(wxSize(size, size)).GetWidth(), size);
    }
    EXPECT_NE(ondavo::g_CodecBinding.vVek_Decode, nullptr) << ondavo::g_CodecBinding.load_error;
  });
}

TEST_F(WindowTest, DecodeWithNoFileAsksForOne) {
  wxTEST_DIALOG(RunModal(dialog_, [&] { SendCommand(dialog_, wxEVT_BUTTON, kIdDecode); }),
                ExpectMessage("Choose file to Decode"));
}

TEST_F(WindowTest, DecodesTheChosenFileIntoAWav) {
  WriteSilence(dir_ / "memo.DVR", 3000);
  chooser_answer_ = dir_ / "memo.DVR";
  const wxString wav = dir_ / "memo.WAV";
  wxTEST_DIALOG(RunModal(dialog_,
                         [&] {
                           SendCommand(dialog_, wxEVT_BUTTON, kIdChooseDvrFile);
                           SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                           EXPECT_EQ(g_pDecodeProgress->GetValue(), 100);
                           EXPECT_TRUE(dialog_.FindWindow(kIdDecode)->IsEnabled());
                         }),
                ExpectMessage(chooser_answer_),
                ExpectMessage("Finish Vek Coder Decode.\nCreate of file " + wav + " "));
  ASSERT_EQ(filters_.size(), 1u);
  EXPECT_EQ(filters_[0], "DVR File (*.DVR)|*.DVR");
  EXPECT_EQ(g_strDvrFile, chooser_answer_);
  EXPECT_EQ(dialog_.DvrPath(), chooser_answer_);
  EXPECT_EQ(fs::file_size(wav.ToStdString()), 44u + 3000u * 320u);
}

TEST_F(WindowTest, CancellingTheChoiceEmptiesThePath) {
  chooser_answer_ = dir_ / "first.DVR";
  wxTEST_DIALOG(RunModal(dialog_,
                         [&] {
                           SendCommand(dialog_, wxEVT_BUTTON, kIdChooseDvrFile);
                           EXPECT_EQ(TextOf(dialog_, kIdDvrPath), chooser_answer_);
                           chooser_answer_.clear();
                           SendCommand(dialog_, wxEVT_BUTTON, kIdChooseDvrFile);
                           EXPECT_EQ(TextOf(dialog_, kIdDvrPath), "");
                           SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                         }),
                ExpectMessage(dir_ / "first.DVR"), ExpectMessage(""),
                ExpectMessage("Choose file to Decode"));
  EXPECT_EQ(g_strDvrFile, "");
}

// 1001 and 1002 have no control; they come as button or menu commands.
TEST_F(WindowTest, EncodeCommandsArriveWithoutAControl) {
  WriteBytes(dir_ / "tone.pcm", std::vector<uint8_t>(64 * 100, 0x11));
  chooser_answer_ = dir_ / "tone.pcm";
  const wxString coded = dir_ / "tone.DVR";
  const wxString finished = "Finish Vek Coder Encode.\nCreate of file " + coded + " ";
  for (wxEventType type : {wxEVT_BUTTON, wxEVT_MENU}) {
    g_strPcmFile.clear();
    fs::remove(coded.ToStdString());
    wxTEST_DIALOG(RunModal(dialog_,
                           [&] {
                             SendCommand(dialog_, type, kIdChoosePcmFile);
                             EXPECT_EQ(TextOf(dialog_, kIdPcmPath), chooser_answer_);
                             SendCommand(dialog_, type, kIdEncode);
                           }),
                  ExpectMessage(chooser_answer_), ExpectMessage(finished));
    EXPECT_EQ(g_strPcmFile, chooser_answer_);
    EXPECT_EQ(fs::file_size(coded.ToStdString()), 100u * 9u);
  }
  EXPECT_EQ(filters_.back(), "PCM File (*.pcm)|*.pcm");
}

// A .DVR file may be a recording: encode asks before it replaces one.
TEST_F(WindowTest, EncodeAsksBeforeReplacingAFile) {
  WriteBytes(dir_ / "memo.pcm", std::vector<uint8_t>(64 * 10, 0x11));
  g_strPcmFile = dir_ / "memo.pcm";
  const wxString coded = dir_ / "memo.DVR";
  for (int answer : {wxID_NO, wxID_YES}) {
    WriteBytes(dir_ / "memo.DVR", {'r', 'e', 'c'});
    if (answer == wxID_NO) {
      wxTEST_DIALOG(SendCommand(dialog_, wxEVT_BUTTON, kIdEncode),
                    ExpectMessage(coded + " exists. Replace it?", {}, answer));
      EXPECT_EQ(fs::file_size(dir_ / "memo.DVR"), 3u);
    } else {
      wxTEST_DIALOG(SendCommand(dialog_, wxEVT_BUTTON, kIdEncode),
                    ExpectMessage(coded + " exists. Replace it?", {}, answer),
                    ExpectMessage("Finish Vek Coder Encode.\nCreate of file " + coded + " "));
      EXPECT_EQ(fs::file_size(dir_ / "memo.DVR"), 10u * 9u);
    }
  }
}

TEST_F(WindowTest, ContextMenuReachesEncodeAndAbout) {
  std::unique_ptr<wxMenu> menu = dialog_.CreateContextMenu();
  ASSERT_NE(menu->FindItem(kIdEncodePcmFile), nullptr);
  EXPECT_EQ(menu->FindItem(kIdEncodePcmFile)->GetItemLabelText(), "Encode PCM File...");
  EXPECT_TRUE(menu->IsEnabled(kIdEncodePcmFile));
  ASSERT_NE(menu->FindItem(kIdAbout), nullptr);
  EXPECT_EQ(menu->FindItem(kIdAbout)->GetItemLabelText(), "About Ondavo...");

  // The item chooses the PCM file, then encodes it.
  WriteBytes(dir_ / "note.pcm", std::vector<uint8_t>(128, 100));
  chooser_answer_ = dir_ / "note.pcm";
  bool finished = false;
  wxTEST_DIALOG(RunModal(dialog_,
                         [&] {
                           SendCommand(dialog_, wxEVT_MENU, kIdEncodePcmFile);
                           EXPECT_TRUE(WaitUntil([&] { return finished; }));
                         }),
                ExpectMessage(chooser_answer_),
                ExpectMessage("Finish Vek Coder Encode.\nCreate of file " + dir_ / "note.DVR" + " ",
                              [&] { finished = true; }));
  EXPECT_EQ(fs::file_size(dir_ / "note.DVR"), 2u * 9u);
}

TEST_F(WindowTest, SavingAFieldOverTheLengthRuleKeepsTheWindowOpen) {
  auto* field = wxDynamicCast(dialog_.FindWindow(kIdDvrPath), wxTextCtrl);
  bool still_open = false;
  int result = 0;
  wxTEST_DIALOG(result = RunModal(dialog_,
                                  [&] {
                                    // Filling the field limits it; only a program can overfill it.
                                    field->SetMaxLength(0);
                                    field->ChangeValue(wxString('x', kMaxPathLength + 1));
                                    SendCommand(dialog_, wxEVT_BUTTON, kIdOk);
                                    still_open = dialog_.IsModal();
                                    field->ChangeValue(wxString('x', kMaxPathLength));
                                    SendCommand(dialog_, wxEVT_BUTTON, kIdOk);
                                  }),
                ExpectMessage("Enter no more than 1024 characters."));
  EXPECT_TRUE(still_open);
  EXPECT_EQ(result, kIdOk);
  EXPECT_EQ(dialog_.DvrPath().length(), kMaxPathLength);
}

// Events queued before a conversion starts are handled by its first pump,
// that is while it runs.
TEST_F(WindowTest, ASecondStartDuringAConversionIsRefused) {
  WriteSilence(dir_ / "long.DVR", 2000);
  g_strDvrFile = dir_ / "long.DVR";
  bool checked = false;
  wxTEST_DIALOG(
      RunModal(dialog_,
               [&] {
                 dialog_.CallAfter([&] {
                   EXPECT_TRUE(dialog_.IsConverting());
                   EXPECT_FALSE(dialog_.FindWindow(kIdDecode)->IsEnabled());
                   EXPECT_FALSE(dialog_.FindWindow(kIdChooseDvrFile)->IsEnabled());
                   EXPECT_FALSE(dialog_.CreateContextMenu()->IsEnabled(kIdEncodePcmFile));
                   SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                   SendCommand(dialog_, wxEVT_BUTTON, kIdChooseDvrFile);
                   SendCommand(dialog_, wxEVT_MENU, kIdEncode);
                   checked = true;
                 });
                 SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                 EXPECT_TRUE(dialog_.FindWindow(kIdDecode)->IsEnabled());
               }),
      ExpectMessage("A conversion is already running"),
      ExpectMessage("A conversion is already running"),
      ExpectMessage("A conversion is already running"),
      ExpectMessage("Finish Vek Coder Decode.\nCreate of file " + dir_ / "long.WAV" + " "));
  EXPECT_TRUE(checked);
  EXPECT_TRUE(filters_.empty());
  EXPECT_EQ(fs::file_size(dir_ / "long.WAV"), 44u + 2000u * 320u);
}

TEST_F(WindowTest, ClosingDuringAConversionLetsItFinishFirst) {
  WriteSilence(dir_ / "closing.DVR", 2000);
  g_strDvrFile = dir_ / "closing.DVR";
  bool open_at_message = false;
  int result = 0;
  wxTEST_DIALOG(
      result = RunModal(dialog_,
                        [&] {
                          dialog_.CallAfter([&] { dialog_.Close(); });
                          SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                        }),
      ExpectMessage("Finish Vek Coder Decode.\nCreate of file " + dir_ / "closing.WAV" + " ",
                    [&] { open_at_message = dialog_.IsModal(); }));
  EXPECT_TRUE(open_at_message);
  EXPECT_EQ(result, wxID_CANCEL);  // not the test's wxID_ABORT: the close ended it
  EXPECT_EQ(fs::file_size(dir_ / "closing.WAV"), 44u + 2000u * 320u);
}

TEST(StartUpTest, RunsTheWindowAndReturnsFalseWhenItCloses) {
  bool was_shown = false;
  wxTheApp->CallAfter([&] {
    auto* window = dynamic_cast<COndavoDlg*>(wxTheApp->GetTopWindow());
    ASSERT_NE(window, nullptr);
    was_shown = window->IsModal() && g_pDecodeProgress != nullptr;
    SendCommand(*window, wxEVT_BUTTON, kIdCancel);
  });
  EXPECT_FALSE(static_cast<COndavoApp*>(wxTheApp)->StartUp());
  EXPECT_TRUE(was_shown);
}

}  // namespace
