#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/DynLib.h"
#include "platform/Paths.h"
#include "platform/Timer.h"
#include "tests/support/TempDir.h"

#include <fstream>

namespace tavrik::platform {
namespace {

TEST(CodePage, WindowsCharactersSurviveTheRoundTrip) {
  std::string ansi = "caf\xe9 \x80 \x93quoted\x94";  // é, euro sign, curly quotes
  std::string utf8 = AnsiToUtf8(ansi);
  EXPECT_EQ(utf8, "caf\xc3\xa9 \xe2\x82\xac \xe2\x80\x9cquoted\xe2\x80\x9d");
  EXPECT_EQ(Utf8ToAnsi(utf8), ansi);
}

TEST(CodePage, UnmappableCharactersBecomeOneQuestionMark) {
  EXPECT_EQ(Utf8ToAnsi("a\xe4\xb8\xad" "b"), "a?b");  // a CJK character has no single byte
  EXPECT_EQ(Utf8ToAnsi("a\xff" "b"), "a?b");          // invalid UTF-8
}

TEST(CodePage, OemTranslation) {
  EXPECT_EQ(OemToAnsi("\x82", TOemCodePage::cp850), "\xe9");  // é
  EXPECT_EQ(AnsiToOem("\xe9", TOemCodePage::cp437), "\x82");
  EXPECT_EQ(OemToAnsi("plain"), "plain");
}

TEST(DynLib, NamesAndSearch) {
  EXPECT_EQ(SharedLibraryFileName("MDE61.DLL"), "libmde61.so");
  EXPECT_EQ(SharedLibraryFileName("ZipEng.dll"), "libzipeng.so");
  TDynLib lib;
  EXPECT_FALSE(lib.Load("NOSUCHLIBRARY.DLL"));
  EXPECT_FALSE(lib.Error().empty());
  EXPECT_EQ(lib.Symbol("anything"), nullptr);
}

TEST(Paths, ExecutableAndSiblings) {
  EXPECT_NE(ExecutablePath().find("platform_tests"), std::string::npos);
  EXPECT_EQ(ChangeFileName("/opt/app/tavrik", "Client.ini"), "/opt/app/Client.ini");
  EXPECT_EQ(ChangeFileName("tavrik", "Client.ini"), "Client.ini");
}

TEST(Paths, EntriesFoundWhateverTheirLetterCase) {
  tavrik::testing::TempDir dir;
  std::ofstream(dir.File("USERS.DBF")) << "x";
  EXPECT_EQ(FindEntryIgnoringCase(dir.Path(), "users.dbf"), "USERS.DBF");
  EXPECT_EQ(FindEntryIgnoringCase(dir.Path(), "users.mxi"), "");
  EXPECT_EQ(FindEntryIgnoringCase(dir.File("missing"), "x"), "");
  EXPECT_TRUE(IsRegularFile(dir.File("USERS.DBF")));
  EXPECT_FALSE(IsRegularFile(dir.Path()));
  EXPECT_TRUE(PathExists(dir.Path()));
}

TEST(Timer, ManualTimerFiresOnlyWhenEnabled) {
  auto timer = MakeTimer();
  auto* manual = dynamic_cast<ManualTimer*>(timer.get());
  ASSERT_NE(manual, nullptr);
  int ticks = 0;
  manual->SetOnTimer([&] { ++ticks; });
  EXPECT_FALSE(manual->Fire());
  manual->SetEnabled(true);
  EXPECT_TRUE(manual->Fire());
  EXPECT_EQ(ticks, 1);
}

}  // namespace
}  // namespace tavrik::platform
