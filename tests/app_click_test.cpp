// One real click through the display: the pointer moves over "Decode" and
// presses it. Runs alone (RUN_SERIAL), since it moves the shared pointer.
#include <gtest/gtest.h>
#include <wx/uiaction.h>

#include "app_test_support.h"
#include "ondavodlg.h"

namespace {

TEST(ClickTest, ClickingDecodeWithNoFileAsksForOne) {
  g_strDvrFile.clear();
  COndavoDlg window;
  bool answered = false;
  wxTEST_DIALOG(RunModal(window,
                         [&] {
                           wxWindow* decode = window.FindWindow(kIdDecode);
                           ASSERT_TRUE(WaitUntil([&] { return decode->IsShownOnScreen(); }));
                           WaitUntil([] { return false; }, 0.2);  // let it map and settle
                           wxRect area = decode->GetScreenRect();
                           wxUIActionSimulator simulator;
                           simulator.MouseMove(area.GetLeft() + area.GetWidth() / 2,
                                               area.GetTop() + area.GetHeight() / 2);
                           WaitUntil([] { return false; }, 0.1);
                           simulator.MouseClick();
                           EXPECT_TRUE(WaitUntil([&] { return answered; }));
                         }),
                ExpectMessage("Choose file to Decode", [&] { answered = true; }));
}

}  // namespace
