// Real keys through the display. Runs alone
// (RUN_SERIAL), since it moves the display's one pointer; keys go to the
// window under it.
#include <gtest/gtest.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "app_test_support.h"
#include "codec_binding.h"
#include "ondavodlg.h"
#include "test_support.h"

namespace {

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

// The focus starts on OK, which GTK on its own would not give it.
TEST(ClickTest, EnterRightAfterStartEndsTheWindow) {
  COndavoDlg window;
  int result = RunModal(window, [&] {
    PointAt(window, *window.FindWindow(kIdOk));
    wxUIActionSimulator().Char(WXK_RETURN);
    WaitUntil([&] { return !window.IsShown(); });
  });
  EXPECT_EQ(result, kIdOk);
}

// While a conversion runs, Tab, Enter and Escape neither move the focus nor
// press OK or Cancel; F1 still reaches its command.
TEST(ClickTest, KeysDuringAConversionPressNoButton) {
  ondavo::testing::TempDir dir;
  WriteSilence(dir / "a.DVR", 3000);
  wxSetEnv("ONDAVO_TEST_CODEC_DELAY_US", "300");  // about a second
  ondavo::BindCodecLibrary(ondavo::testing::RecordingCodecPath());
  g_strDvrFile = dir / "a.DVR";
  COndavoDlg window;
  wxWindow* focus_before = nullptr;
  bool about_opened = false;
  int result = 0;
  wxTEST_DIALOG(result = RunModal(window,
                                  [&] {
                                    PointAt(window, *window.FindWindow(kIdDecodeProgress));
                                    focus_before = wxWindow::FindFocus();
                                    // Sent now, they arrive at the conversion's pump.
                                    wxUIActionSimulator keys;
                                    for (int key : {WXK_TAB, WXK_ESCAPE, WXK_RETURN, WXK_F1})
                                      keys.Char(key);
                                    SendCommand(window, wxEVT_BUTTON, kIdDecode);
                                    EXPECT_EQ(wxWindow::FindFocus(), focus_before);
                                  }),
                ExpectAbout([&] { about_opened = true; }),
                ExpectMessage("Finish Vek Coder Decode.\nCreate of file " + dir / "a.WAV" + " "));
  wxUnsetEnv("ONDAVO_TEST_CODEC_DELAY_US");
  ondavo::BindCodecLibrary();
  EXPECT_TRUE(about_opened);
  EXPECT_EQ(result, wxID_ABORT);  // still open when the test ended it
}

}  // namespace
