#include "output_name.h"

#include <gtest/gtest.h>

namespace ondavo {
namespace {

TEST(OutputPathForTest, CutsTheFileNameAtItsFirstDot) {
  EXPECT_EQ(OutputPathFor("rec/a.DVR", "WAV"), "rec/a.WAV");
  EXPECT_EQ(OutputPathFor("rec/a.b.DVR", "WAV"), "rec/a.WAV");
  EXPECT_EQ(OutputPathFor("rec/a.DVR.old", "WAV"), "rec/a.WAV");
  EXPECT_EQ(OutputPathFor("a.DVR", "WAV"), "a.WAV");
  EXPECT_EQ(OutputPathFor("voice.old.pcm", "DVR"), "voice.DVR");
}

TEST(OutputPathForTest, NeverTouchesFolderNames) {
  EXPECT_EQ(OutputPathFor("rec.2007/a.DVR", "WAV"), "rec.2007/a.WAV");
  EXPECT_EQ(OutputPathFor("./x/a.b.DVR", "WAV"), "./x/a.WAV");
  EXPECT_EQ(OutputPathFor(".cache/a.DVR", "WAV"), ".cache/a.WAV");
  EXPECT_EQ(OutputPathFor("v1.2/voice.pcm", "DVR"), "v1.2/voice.DVR");
  EXPECT_EQ(OutputPathFor("/x.pcm/voice.raw", "DVR"), "/x.pcm/voice.DVR");
}

TEST(OutputPathForTest, AppendsTheExtensionToANameWithoutDot) {
  EXPECT_EQ(OutputPathFor("rec.DVR/a", "WAV"), "rec.DVR/a.WAV");
  EXPECT_EQ(OutputPathFor("rec.DVR/", "WAV"), "rec.DVR/.WAV");
}

TEST(OutputPathForTest, PutsTheOutputIntoAGivenFolder) {
  EXPECT_EQ(OutputPathFor("rec.2007/a.b.DVR", "WAV", "out"), "out/a.WAV");
  EXPECT_EQ(OutputPathFor("a.DVR", "WAV", "out/"), "out/a.WAV");
  EXPECT_EQ(OutputPathFor("rec/noext", "WAV", "/x/y"), "/x/y/noext.WAV");
}

TEST(OutputPathForTest, HandlesPathsOfAnyLength) {
  std::string folder(3000, 'f');
  EXPECT_EQ(OutputPathFor(folder + "/" + std::string(300, 'n') + ".DVR", "WAV"),
            folder + "/" + std::string(300, 'n') + ".WAV");
}

}  // namespace
}  // namespace ondavo
