// The window's ZIP component (loaded at start, unloaded on closing, a missing engine reported
// while start-up goes on) and the Qt password box.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/Program.h"
#include "app/QtPasswordDlg.h"
#include "platform/DynLib.h"
#include "platform/Paths.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "zip/ZipWrt.h"

namespace tavrik {
namespace {

using platform::TModalResult;

class ZipWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetLibrarySearchDirs({platform::ExecutableDir()}); }
  void TearDown() override { platform::SetLibrarySearchDirs({platform::ExecutableDir()}); }

  testing::TempDir dir;
  testing::ScriptedDialogs dialogs;
};

TEST_F(ZipWindowTest, TheEngineIsLoadedAtStartAndUnloadedOnClosing) {
  std::unique_ptr<TProgram> program = StartProgram(dir.File("Client.ini"));
  ASSERT_NE(program, nullptr);
  TTavrikFrm& f = *program->TavrikFrm;
  TZipwright& zip = *f.Zipwright1;
  EXPECT_EQ(zip.Name(), "Zipwright1");
  EXPECT_EQ(zip.AddCompLevel(), 9);
  EXPECT_TRUE(zip.AddOptions().empty());
  EXPECT_TRUE(zip.EngineLoaded());
  EXPECT_TRUE(dialogs.messages.empty());
  f.show();
  dialogs.AnswerConfirm(TModalResult::mrOk);
  dialogs.AnswerConfirm(TModalResult::mrCancel);
  EXPECT_TRUE(f.close());
  EXPECT_FALSE(zip.EngineLoaded());
}

TEST_F(ZipWindowTest, AMissingEngineIsReportedAndStartUpGoesOn) {
  // A folder with the local engine but without the ZIP engine.
  std::filesystem::create_symlink(platform::ExecutableDir() + "/libmde61.so", dir.File("libmde61.so"));
  platform::SetLibrarySearchDirs({dir.Path()});
  std::unique_ptr<TProgram> program = StartProgram(dir.File("Client.ini"));
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{"ZipTextXX.res is probably not linked to the executable\nMissing String ID is: 10604"});
  TTavrikFrm& f = *program->TavrikFrm;
  EXPECT_FALSE(f.Zipwright1->EngineLoaded());
  EXPECT_EQ(f.HostEdt->text(), "localhost");  // the rest of start-up ran
  EXPECT_EQ(f.StatusText(4), "Not loged in");
}

TEST(QtPasswordBox, LayoutFollowsTheButtons) {
  TPasswordDlgView view;
  view.caption = "Wachtwoord";
  view.prompt = "Geef het wachtwoord:";
  view.buttons = pbbOK | pbbCancel | pbbCancelAll;
  view.button_text = {"OK", "Annuleren", "Geen meer", "Afbreken"};
  QtPasswordBox box(view);
  EXPECT_EQ(box.size(), QSize(35 + 124 * 3, 137));
  EXPECT_EQ(box.windowTitle(), "Wachtwoord");
  EXPECT_EQ(box.font().family(), "Arial");
  EXPECT_TRUE(box.font().bold());
  EXPECT_EQ(box.Prompt->text(), "Geef het wachtwoord:");
  EXPECT_EQ(box.Prompt->geometry(), QRect(20, 8, 297, 18));
  EXPECT_EQ(box.Edit->x(), 20);
  EXPECT_EQ(box.Edit->y(), 40);
  EXPECT_EQ(box.Edit->width(), 124 * 3 - 10);
  EXPECT_EQ(box.Edit->echoMode(), QLineEdit::Password);
  EXPECT_EQ(box.Edit->maxLength(), 80);
  ASSERT_EQ(box.Buttons.size(), 3u);
  const char* captions[] = {"OK", "Annuleren", "Geen meer"};
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(box.Buttons[j]->geometry(), QRect(20 + 124 * j, 72, 114, 28));
    EXPECT_EQ(box.Buttons[j]->text(), captions[j]);
  }
}

TEST(QtPasswordBox, EachButtonGivesItsAnswer) {
  TPasswordDlgView view;
  view.buttons = pbbCancel | pbbCancelAll | pbbAbort;
  const TPasswordButton buttons[] = {pbOK, pbCancel, pbCancelAll, pbAbort};
  for (TPasswordButton button : buttons) {
    QtPasswordBox box(view);
    box.show();
    QTest::keyClicks(box.Edit, "geheim");
    QTest::mouseClick(box.Buttons[button], Qt::LeftButton);
    EXPECT_EQ(box.Button(), button);
    EXPECT_EQ(box.Text(), "geheim");
  }
  QtPasswordBox closed(view);
  closed.show();
  closed.reject();  // Escape or the close button
  EXPECT_EQ(closed.Button(), pbCancel);
  QtPasswordBox one(TPasswordDlgView{});
  EXPECT_EQ(one.Buttons.size(), 1u);  // OK is always there
  EXPECT_EQ(one.width(), 35 + 124);
}

}  // namespace
}  // namespace tavrik
