// Real input through the display: a click on "Decode", Enter and F1. Runs alone
// (RUN_SERIAL), since it moves the display's one pointer.
#include <gtest/gtest.h>
#include <wx/uiaction.h>

#include "app_test_support.h"
#include "ondavodlg.h"

namespace {

class ExpectAbout : public wxExpectModalBase<CAboutDialog, ExpectAbout> {
 public:
  explicit ExpectAbout(std::function<void()> then) : then_(std::move(then)) {}

 protected:
  int OnInvoked(CAboutDialog*) const override {
    then_();
    return kIdOk;
  }

 private:
  std::function<void()> then_;
};

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

// The focus starts on OK.
TEST(ClickTest, EnterRightAfterStartEndsTheWindow) {
  COndavoDlg window;
  int result = RunModal(window, [&] {
    ASSERT_TRUE(WaitUntil([&] { return window.IsShownOnScreen(); }));
    WaitUntil([] { return false; }, 0.2);
    wxRect area = window.GetScreenRect();
    wxUIActionSimulator simulator;
    simulator.MouseMove(area.GetLeft() + 10, area.GetTop() + 10);
    WaitUntil([] { return false; }, 0.1);
    simulator.Char(WXK_RETURN);
    WaitUntil([&] { return !window.IsModal(); });
  });
  EXPECT_EQ(result, kIdOk);
}

TEST(ClickTest, F1OpensTheAboutBox) {
  COndavoDlg window;
  bool opened = false;
  wxTEST_DIALOG(RunModal(window,
                         [&] {
                           ASSERT_TRUE(WaitUntil([&] { return window.IsShownOnScreen(); }));
                           WaitUntil([] { return false; }, 0.2);
                           // Keys go to the window under the pointer.
                           wxRect area = window.GetScreenRect();
                           wxUIActionSimulator simulator;
                           simulator.MouseMove(area.GetLeft() + 10, area.GetTop() + 10);
                           WaitUntil([] { return false; }, 0.1);
                           simulator.Char(WXK_F1);
                           EXPECT_TRUE(WaitUntil([&] { return opened; }));
                         }),
                ExpectAbout([&] { opened = true; }));
}

}  // namespace
