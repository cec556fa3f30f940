// Tavrik with its exception logger installed as the program installs it: a login that fails
// (the server is not running) leaves its report in the log file beside the executable and shows
// the error dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "app/Program.h"
#include "exlog/ELogFile.h"
#include "exlog/ExceptionLog.h"
#include "exlog/ui/QtRavlogUi.h"
#include "platform/DynLib.h"
#include "platform/Paths.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TempDir.h"
#include "tests/support/WhenShown.h"

namespace tavrik {
namespace {

TEST(TavrikWithItsLogger, AFailedActionIsReportedBesideTheExecutable) {
  testing::TempDir dir;
  exlog::ui::InstallRavlogUi().SetGeometryFile(dir.File("Ravlog.ini"));
  const std::string log_file = platform::ExecutableDir() + "/app_exlog_tests.rlf";
  std::filesystem::remove(log_file);
  platform::SetLibrarySearchDirs({platform::ExecutableDir()});
  std::unique_ptr<TProgram> program = StartProgram(dir.File("Client.ini"));
  ASSERT_NE(program, nullptr);
  TTavrikFrm& form = *program->TavrikFrm;
  form.show();
  QApplication::setActiveWindow(&form);
  form.UserIdEdt->setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

  uint16_t closed_port = 0;
  {
    testing::ScriptedPeer gone;  // no server listens on its port once it has gone
    closed_port = gone.Port();
  }
  program->DM1->RemoteConnection->SetHost("127.0.0.1");
  program->DM1->RemoteConnection->SetPort(closed_port);

  bool dialog_shown = false;
  testing::WhenShown("ExceptionDialog", [&](QWidget* dialog) {
    dialog_shown = true;
    QTest::mouseClick(dialog->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
  });
  QTest::mouseClick(form.LoginBtn, Qt::LeftButton);
  EXPECT_TRUE(dialog_shown);
  EXPECT_TRUE(form.isVisible());  // OK: the program goes on

  const std::vector<std::string> reports = exlog::TLogFile(log_file).Reports();
  std::filesystem::remove(log_file);
  ASSERT_EQ(reports.size(), 1u);
  const std::string& r = reports[0];
  EXPECT_NE(r.find("2.5 Message: [MarvekConnection.SetActive]No Marvek Database Server found at 127.0.0.1.\r\n"),
            std::string::npos);
  EXPECT_NE(r.find("3.1 Form Class   : TTavrikFrm\r\n"), std::string::npos) << r.substr(0, 1500);
  EXPECT_NE(r.find("3.3 Control Class: QPushButton\r\n"), std::string::npos);  // the clicked button
  // The stack starts where the error arose, in the connection.
  const std::string stack = r.substr(r.find("Call Stack Information:"));
  EXPECT_NE(stack.find("|MvConn.cpp"), std::string::npos);
  EXPECT_NE(stack.find("|TMarvekConnection"), std::string::npos);
}

}  // namespace
}  // namespace tavrik

int main(int argc, char** argv) {
  // As the program does: the logger before the application object.
  tavrik::exlog::Install(argc, argv);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
