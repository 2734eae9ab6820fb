// The About box: what opens it, what it shows, and how it closes.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "app_test_support.h"
#include "ondavo_version.h"
#include "ondavodlg.h"

namespace {

class ExpectAbout : public wxExpectModalBase<CAboutDialog, ExpectAbout> {
 protected:
  int OnInvoked(CAboutDialog*) const override { return kIdOk; }
};

TEST(AboutTest, SystemCommandsOfTheAboutItemOpenIt) {
  COndavoDlg window;
  for (uint32_t id = 0x0010; id <= 0x001F; ++id) {
    wxTEST_DIALOG(window.SystemCommand(id, 0), ExpectAbout());
  }
}

TEST(AboutTest, OtherSystemCommandsDoNot) {
  COndavoDlg window;
  // A dialog shown here fails the test.
  for (uint32_t id : {0x0000u, 0x000Fu, 0x0020u, 0x0110u, 0xF060u}) window.SystemCommand(id, 0);
}

TEST(AboutTest, TheAboutItemCommandOpensIt) {
  COndavoDlg window;
  // As the context menu, F1 and (on Windows) the system menu send it.
  wxTEST_DIALOG(SendCommand(window, wxEVT_MENU, kIdAbout), ExpectAbout());
}

TEST(AboutTest, ShowsTheIconTheVersionAndOk) {
  CAboutDialog about(nullptr);
  EXPECT_EQ(about.GetTitle(), "About Ondavo");
  std::vector<wxString> lines;
  const wxStaticBitmap* icon = nullptr;
  for (wxWindow* child : about.GetChildren()) {
    if (auto* text = wxDynamicCast(child, wxStaticText)) lines.push_back(text->GetLabel());
    if (auto* bitmap = wxDynamicCast(child, wxStaticBitmap)) icon = bitmap;
  }
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Ondavo_ Version 1.0");
  EXPECT_EQ(lines[1], "Release " ONDAVO_VERSION);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->GetBitmap().GetWidth(), 32);
  auto* ok = wxDynamicCast(about.FindWindow(kIdOk), wxButton);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->GetLabel(), "OK");
  EXPECT_EQ(about.GetDefaultItem(), ok);
}

TEST(AboutTest, ClosesWithOk) {
  CAboutDialog about(nullptr);
  EXPECT_EQ(RunModal(about, [&] { SendCommand(about, wxEVT_BUTTON, kIdOk); }), kIdOk);
}

TEST(AboutTest, ClosesWithEscape) {
  CAboutDialog about(nullptr);
  int result = RunModal(about, [&] {
    wxKeyEvent escape(wxEVT_CHAR_HOOK);
    escape.m_keyCode = WXK_ESCAPE;
    escape.SetEventObject(&about);
    about.ProcessWindowEvent(escape);
  });
  EXPECT_NE(result, wxID_ABORT);  // ended by the key, not by the test
}

TEST(AboutTest, ClosesWithTheCloseBox) {
  CAboutDialog about(nullptr);
  EXPECT_NE(RunModal(about, [&] { about.Close(); }), wxID_ABORT);
}

}  // namespace
