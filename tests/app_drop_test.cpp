// Files dropped on the converter window, with the real codec library. A real
// drag cannot be made reliably without a user: the tests hand the paths to
// the drop targets as the toolkit would.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dnd.h>

#include <filesystem>
#include <vector>

#include "app_test_support.h"
#include "ondavodlg.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// The drop, then what the window does once it has returned.
bool Drop(wxWindow& where, const std::vector<wxString>& paths) {
  wxArrayString names;
  for (const wxString& path : paths) names.Add(path);
  bool accepted = dynamic_cast<wxFileDropTarget&>(*where.GetDropTarget()).OnDropFiles(0, 0, names);
  wxTheApp->ProcessPendingEvents();
  return accepted;
}

wxString Finished(const wxString& wav) {
  return "Finish Vek Coder Decode.\nCreate of file " + wav + " ";
}

class DropTest : public ::testing::Test {
 protected:
  void SetUp() override { g_strDvrFile.clear(); }

  ondavo::testing::TempDir dir_;
  COndavoDlg dialog_;
};

// On the field too, which would otherwise insert the name as text.
TEST_F(DropTest, OneFileIsChosenAsInputFileChoosesIt) {
  const wxString memo = dir_ / "memo.DVR";
  WriteSilence(memo.ToStdString(), 100);
  wxTEST_DIALOG(RunModal(dialog_,
                         [&] {
                           EXPECT_TRUE(Drop(*dialog_.FindWindow(kIdDvrPath), {memo}));
                           EXPECT_EQ(TextOf(dialog_, kIdDvrPath), memo);
                           SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                         }),
                ExpectMessage(memo), ExpectMessage(Finished(dir_ / "memo.WAV")));
  EXPECT_EQ(g_strDvrFile, memo);
  EXPECT_EQ(fs::file_size(dir_ / "memo.WAV"), 44u + 100u * 320u);
}

// The second file is missing: its failure does not stop the third.
TEST_F(DropTest, SeveralFilesAreDecodedOneAfterAnother) {
  const wxString a = dir_ / "a.DVR", b = dir_ / "b.DVR", c = dir_ / "c.DVR";
  WriteSilence(a.ToStdString(), 100);
  WriteSilence(c.ToStdString(), 200);
  // The field and the number waiting, as each message is up.
  std::vector<std::pair<wxString, size_t>> seen;
  auto look = [&] {
    seen.emplace_back(TextOf(dialog_, kIdDvrPath), dialog_.QueuedDvrFiles().size());
  };
  wxTEST_DIALOG(RunModal(dialog_,
                         [&] {
                           EXPECT_TRUE(Drop(dialog_, {a, dir_ / "x.txt", b, c}));
                           EXPECT_EQ(g_strDvrFile, a);
                           SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                         }),
                ExpectMessage("3 files to Decode, one after another:\n" + a + "\n" + b + "\n" + c +
                              "\n\nLeft out, not .DVR:\n" + dir_ / "x.txt"),
                ExpectMessage(Finished(dir_ / "a.WAV"), look),
                ExpectMessage("Can't open file " + b + " (No such file or directory)", look),
                ExpectMessage(Finished(dir_ / "c.WAV"), look));
  std::vector<std::pair<wxString, size_t>> expected = {{a, 2}, {b, 1}, {c, 0}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(fs::file_size(dir_ / "c.WAV"), 44u + 200u * 320u);
}

// Two recordings whose names agree up to the first dot would write one WAV.
TEST_F(DropTest, OnlyTheFirstOfTwoDroppedFilesWithOneOutputIsDecoded) {
  const wxString first = dir_ / "m 2024.03.05.DVR", second = dir_ / "m 2024.03.06.DVR";
  WriteSilence(first.ToStdString(), 100);
  WriteSilence(second.ToStdString(), 200);
  wxTEST_DIALOG(RunModal(dialog_,
                         [&] {
                           EXPECT_TRUE(Drop(dialog_, {first, second}));
                           SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
                         }),
                ExpectMessage("2 files to Decode, one after another:\n" + first + "\n" + second),
                ExpectMessage(Finished(dir_ / "m 2024.WAV")),
                ExpectMessage("File " + second + " is not converted: its output " +
                              dir_ / "m 2024.WAV" + " is that of " + first));
  EXPECT_EQ(fs::file_size(dir_ / "m 2024.WAV"), 44u + 100u * 320u);
}

// Events queued before a conversion starts are handled while it runs.
TEST_F(DropTest, ADropDuringAConversionIsRefused) {
  g_strDvrFile = dir_ / "long.DVR";
  WriteSilence(g_strDvrFile.ToStdString(), 2000);
  wxTEST_DIALOG(
      RunModal(dialog_,
               [&] {
                 dialog_.CallAfter([&] { EXPECT_FALSE(Drop(dialog_, {dir_ / "b.DVR"})); });
                 SendCommand(dialog_, wxEVT_BUTTON, kIdDecode);
               }),
      ExpectMessage("A conversion is already running"), ExpectMessage(Finished(dir_ / "long.WAV")));
  EXPECT_EQ(g_strDvrFile, dir_ / "long.DVR");
}

}  // namespace
