// The main window offscreen: start-up, settings, closing with its last log row, and the login and
// the upload clicked on the real widgets against marvekd serving the demo installation.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>

#include "app/ClientDM.h"
#include "app/Program.h"
#include "app/QtPorts.h"
#include "tables/MDE61.h"
#include "platform/DynLib.h"
#include "platform/Paths.h"
#include "tests/app/DemoInstallation.h"
#include "tests/app/SourceBytes.h"
#include "tests/app/Unzipped.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/ReadFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"

namespace tavrik {
namespace {

using platform::TModalResult;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetLibrarySearchDirs({platform::ExecutableDir()}); }

  TTavrikFrm& Start() {
    program = StartProgram(ini);
    EXPECT_NE(program, nullptr);
    return *program->TavrikFrm;
  }

  // The connection to marvekd serving a fresh demo installation.
  void ServeDemo() {
    demo = std::make_unique<testing::DemoInstallation>();
    const uint16_t port = demo->Start();
    ASSERT_NE(port, 0);
    program->DM1->RemoteConnection->SetHost("127.0.0.1");
    program->DM1->RemoteConnection->SetPort(port);
  }
  std::vector<std::string> LogRows() { return demo->LogRowsWithoutTime(); }

  // Logs in as the demo account with the button, and reads its welcome.
  void LoginAsDemo(TTavrikFrm& f) {
    f.UserIdEdt->setText("demo");
    f.PaswoordEdt->setText("welkom");
    QTest::mouseClick(f.LoginBtn, Qt::LeftButton);
    ASSERT_TRUE(LoggedIn);
    dialogs.messages.clear();
  }

  std::vector<bool> VisibleTabs(TTavrikFrm& f) {
    std::vector<bool> v;
    for (int i = 0; i < f.PageControl1->count(); ++i) v.push_back(f.PageControl1->isTabVisible(i));
    return v;
  }

  testing::TempDir dir;
  std::string ini = dir.File("Client.ini");
  testing::ScriptedDialogs dialogs;
  std::unique_ptr<TProgram> program;
  std::unique_ptr<testing::DemoInstallation> demo;
};

// Once loaded, the engine library stays loaded for the process: the start without it is watched
// in a process of its own, started afresh for this test alone.
TEST_F(MainWindowTest, MissingEngineLibraryEndsBeforeAnyWindow) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        testing::TempDir empty;
        platform::SetLibrarySearchDirs({empty.Path()});
        const bool ended = StartProgram(ini) == nullptr;
        const bool told = dialogs.messages == std::vector<std::string>{"Unable to load required Marvek DLL: MDE61.DLL"} &&
                          dialogs.message_types == std::vector<platform::TMsgDlgType>{platform::TMsgDlgType::mtError};
        std::exit(ended && told && QApplication::topLevelWidgets().isEmpty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(MainWindowTest, DataModuleHoldsTheServerTablesAndTheEnvironment) {
  Start();
  const TDM1& dm = *program->DM1;
  for (const auto& [table, file] : {std::pair{dm.LogTbl, "LOG.DBF"}, std::pair{dm.UsersTbl, "USERS.DBF"}}) {
    EXPECT_EQ(table->Owner(), &dm);
    EXPECT_EQ(table->TableName(), file);
    EXPECT_EQ(table->DatabaseName(), "FILES");
    EXPECT_EQ(table->AccessMethod(), TAccessMethod::amServer);
    EXPECT_EQ(table->MarvekConnection(), dm.RemoteConnection);
    EXPECT_FALSE(table->OEMTranslate());
    EXPECT_FALSE(table->Active());
  }
  EXPECT_EQ(dm.LogTbl->Name(), "LogTbl");
  EXPECT_EQ(dm.RemoteConnection->DatabaseAlias(), "FILES");
  EXPECT_EQ(dm.MarvekEnv1->ApplyTo(), TMarvekApplyTo(atLocal));
  EXPECT_TRUE(MDE61Loaded());
  // The environment is for local tables: the server tables open with the tables' defaults.
  EXPECT_FALSE(dm.MarvekEnv1->SettingsFor(TAccessMethod::amServer).FromEnvironment);
}

TEST_F(MainWindowTest, StartsWithDefaultsWithoutSettingsFile) {
  TTavrikFrm& f = Start();
  EXPECT_EQ(f.windowTitle(), "Tavrik");
  EXPECT_EQ(f.HostEdt->text(), "localhost");
  EXPECT_EQ(f.UserIdEdt->text(), "");
  EXPECT_EQ(f.PaswoordEdt->text(), "");
  EXPECT_TRUE(f.ZipCB->isChecked());
  EXPECT_EQ(f.BronBestandEdt->text(), "c:\\quorvale\\quorvale.mdb");
  EXPECT_FALSE(std::filesystem::exists(ini));  // reading creates nothing
}

TEST_F(MainWindowTest, OnlyTheSettingsPageAndTheStatusBarAfterStartUp) {
  std::ofstream(ini) << "[SERVER]\nHost=db7\n[CLIENT]\nUserID=clerk1\nPassword=pw\nLastFile=/tmp/x.mdb\n";
  TTavrikFrm& f = Start();
  f.PageControl1->setCurrentIndex(2);
  f.FormCreate();  // whatever page was active before, the settings page is shown
  EXPECT_EQ(VisibleTabs(f), (std::vector<bool>{true, false, false, false, false}));
  EXPECT_EQ(f.PageControl1->currentIndex(), 0);
  EXPECT_EQ(f.PageControl1->tabText(0), "Instellingen");
  EXPECT_FALSE(LoggedIn);
  EXPECT_EQ(Permissions, "");
  std::vector<std::string> panels;
  for (int i = 0; i < 5; ++i) panels.push_back(f.StatusText(i));
  EXPECT_EQ(panels, (std::vector<std::string>{"db7", "Disconnected", "Status", "", "Not loged in"}));
  const TMarvekConnection& connection = *program->DM1->RemoteConnection;
  EXPECT_EQ(connection.Host(), "db7");
  EXPECT_EQ(connection.Port(), 8121);
  EXPECT_EQ(connection.TimeOut(), 120000);
  EXPECT_EQ(connection.User(), "PORTAL");
  EXPECT_FALSE(connection.Active());
  f.HostEdt->setText("elsewhere");  // takes effect at the next start only
  EXPECT_EQ(connection.Host(), "db7");
  EXPECT_EQ(f.UserIdEdt->text(), "clerk1");
  EXPECT_EQ(f.PaswoordEdt->text(), "pw");
  EXPECT_EQ(f.BronBestandEdt->text(), "/tmp/x.mdb");
  EXPECT_NE(f.findChild<QLineEdit*>("HostEdt"), nullptr);  // controls are found by their names
  EXPECT_NE(f.findChild<QPushButton*>("StartBtn"), nullptr);
}

TEST_F(MainWindowTest, CompressionSetting) {
  std::ofstream(ini) << "[SERVER]\nCompression=0\n";
  EXPECT_FALSE(Start().ZipCB->isChecked());
  std::ofstream(ini) << "[SERVER]\nCompression=abc\n";
  EXPECT_TRUE(Start().ZipCB->isChecked());
}

TEST_F(MainWindowTest, CancelOnQuitKeepsTheWindowAndWritesNothing) {
  TTavrikFrm& f = Start();
  f.show();
  dialogs.AnswerConfirm(TModalResult::mrCancel);
  EXPECT_FALSE(f.close());
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(dialogs.confirmations, std::vector<std::string>{"Programma afsluiten."});
  EXPECT_FALSE(std::filesystem::exists(ini));
}

TEST_F(MainWindowTest, CancelOnSaveClosesWithoutTouchingTheFileButLogs) {
  std::string original = "[SERVER]\r\nHost=old\r\n";
  std::ofstream(ini, std::ios::binary) << original;
  auto stamp = std::filesystem::last_write_time(ini);
  TTavrikFrm& f = Start();
  ServeDemo();
  f.show();
  f.HostEdt->setText("changed");
  dialogs.AnswerConfirm(TModalResult::mrOk);
  dialogs.AnswerConfirm(TModalResult::mrCancel);
  EXPECT_TRUE(f.close());
  EXPECT_EQ(dialogs.confirmations, (std::vector<std::string>{"Programma afsluiten.", "Instellingen bewaren."}));
  EXPECT_EQ(testing::ReadFile(ini), original);
  EXPECT_EQ(std::filesystem::last_write_time(ini), stamp);
  EXPECT_EQ(LogRows(), std::vector<std::string>{"Close Application||"});
  EXPECT_FALSE(program->DM1->RemoteConnection->Active());
}

TEST_F(MainWindowTest, SavingWritesTheFiveKeysInOrder) {
  TTavrikFrm& f = Start();
  ServeDemo();
  f.show();
  f.HostEdt->setText("server7");
  f.ZipCB->setChecked(false);
  f.BronBestandEdt->setText("/data/a.mdb");
  f.UserIdEdt->setText(" clerk1 ");
  f.PaswoordEdt->setText("geheim");
  dialogs.AnswerConfirm(TModalResult::mrOk);
  dialogs.AnswerConfirm(TModalResult::mrOk);
  EXPECT_TRUE(f.close());
  EXPECT_EQ(testing::ReadFile(ini),
            "[SERVER]\r\nHost=server7\r\nCompression=0\r\n\r\n"
            "[CLIENT]\r\nLastFile=/data/a.mdb\r\nUserID= clerk1 \r\nPassword=geheim\r\n");
  EXPECT_EQ(std::filesystem::status(ini).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(LogRows(), std::vector<std::string>{"Close Application| clerk1|"});  // dbfread drops the trailing blank
}

// Without a server the last log row cannot be written: the error is shown, and the program
// closes all the same.
TEST_F(MainWindowTest, UnreachableServerStillCloses) {
  TTavrikFrm& f = Start();
  program->DM1->RemoteConnection->SetHost("127.0.0.1");
  program->DM1->RemoteConnection->SetPort(uint16_t(testing::ClosedPort()));
  f.show();
  dialogs.AnswerConfirm(TModalResult::mrOk);
  dialogs.AnswerConfirm(TModalResult::mrCancel);
  EXPECT_TRUE(f.close());
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{"[MarvekConnection.SetActive]No Marvek Database Server found at 127.0.0.1"});
  EXPECT_EQ(dialogs.message_types, std::vector<platform::TMsgDlgType>{platform::TMsgDlgType::mtError});
  EXPECT_FALSE(f.Actions.Running());
}

TEST_F(MainWindowTest, UnwritableSettingsKeepTheWindowOpen) {
  ini = dir.File("gone/Client.ini");
  TTavrikFrm& f = Start();
  f.show();
  dialogs.AnswerConfirm(TModalResult::mrOk);
  dialogs.AnswerConfirm(TModalResult::mrOk);
  EXPECT_FALSE(f.close());
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Unable to write to " + ini});
}

TEST_F(MainWindowTest, LoginButtonShowsTheAccountsPages) {
  TTavrikFrm& f = Start();
  ServeDemo();
  QtScreenCursor qt_cursor;  // the hourglass as the application's override cursor
  platform::ScreenCursor* previous = platform::SetScreenCursor(&qt_cursor);
  f.show();
  f.UserIdEdt->setText("demo");
  f.PaswoordEdt->setText("welkom");
  dialogs.OnMessage = [&](const std::string&) {
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  };
  QTest::mouseClick(f.LoginBtn, Qt::LeftButton);
  platform::SetScreenCursor(previous);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Welkom bij de demo-installatie van Tavrik."});
  EXPECT_EQ(VisibleTabs(f), (std::vector<bool>{true, true, true, true, true}));
  EXPECT_EQ(f.StatusText(4), "Loged in");
  EXPECT_EQ(f.StatusText(1), "Disconnected");
  EXPECT_TRUE(LoggedIn);

  // A wrong password later: told and logged, and the login stays.
  f.PaswoordEdt->setText("wrong");
  dialogs.OnMessage = nullptr;
  QTest::mouseClick(f.LoginBtn, Qt::LeftButton);
  EXPECT_EQ(dialogs.messages.back(), "Paswoord niet OK");
  EXPECT_EQ(VisibleTabs(f), (std::vector<bool>{true, true, true, true, true}));
  EXPECT_EQ(f.StatusText(4), "Loged in");
  EXPECT_EQ(LogRows(), (std::vector<std::string>{"Login ok|demo|Permission = UPLOAD;DOWNLOAD;TOOLS;BACKUP",
                                                 "Login failed:|demo|Paswoord niet OK :*****"}));
}

// While the login waits for the user to read its message, a click on the button and a request
// to close are refused; the login then ends as if they had not been.
TEST_F(MainWindowTest, ClicksAndClosingWaitForARunningLogin) {
  TTavrikFrm& f = Start();
  ServeDemo();
  f.show();
  f.UserIdEdt->setText("nobody");
  bool closed = true, acted = false;
  dialogs.OnMessage = [&](const std::string&) {
    if (std::exchange(acted, true)) return;  // once: a second login let through shows its own box
    QTest::mouseClick(f.LoginBtn, Qt::LeftButton);
    closed = f.close();
  };
  QTest::mouseClick(f.LoginBtn, Qt::LeftButton);
  EXPECT_FALSE(closed);
  EXPECT_TRUE(f.isVisible());
  EXPECT_TRUE(dialogs.confirmations.empty());  // closing did not even ask
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Gebruiker niet gevonden"});
  EXPECT_EQ(LogRows(), std::vector<std::string>{"Login failed:|nobody|Gebruiker niet gevonden"});
  EXPECT_EQ(f.StatusText(4), "Not loged in");
}

// The last panel takes the rest of the bar, so its texts can be read.
TEST_F(MainWindowTest, LastStatusPanelTakesTheRestOfTheBar) {
  TTavrikFrm& f = Start();
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  auto* last = f.findChild<QLabel*>("StatusBar1Panel4");
  auto* third = f.findChild<QLabel*>("StatusBar1Panel3");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(third->width(), 200);
  EXPECT_GT(last->width(), 50);
  const QStatusBar* bar = f.statusBar();
  EXPECT_GE(last->mapTo(bar, QPoint(last->width(), 0)).x(), bar->width() - 10);
  EXPECT_GE(last->contentsRect().width(), last->fontMetrics().horizontalAdvance("Not loged in"));
  f.resize(900, 468);
  QApplication::processEvents();
  EXPECT_GE(last->mapTo(bar, QPoint(last->width(), 0)).x(), bar->width() - 10);
}

TEST_F(MainWindowTest, BrowseButtonPutsTheChosenNameIntoTheEdit) {
  TTavrikFrm& f = Start();
  f.BronBestandEdt->setText("/first.mdb");
  dialogs.AnswerOpenFile(std::nullopt);  // Cancel
  QTest::mouseClick(f.BladerBtn, Qt::LeftButton);
  EXPECT_EQ(f.BronBestandEdt->text(), "/first.mdb");
  dialogs.AnswerOpenFile("/chosen/file.zip");
  QTest::mouseClick(f.BladerBtn, Qt::LeftButton);
  EXPECT_EQ(f.BronBestandEdt->text(), "/chosen/file.zip");
  EXPECT_EQ(dialogs.opened_with, (std::vector<std::string>{"/first.mdb", "/first.mdb"}));
}

TEST_F(MainWindowTest, UploadButtonSendsTheFileWithAMovingBar) {
  TTavrikFrm& f = Start();
  ServeDemo();
  f.show();
  LoginAsDemo(f);
  const std::string data = testing::SourceBytes(200000);
  std::ofstream(dir.File("quorvale.mdb"), std::ios::binary) << data;
  f.BronBestandEdt->setText(QString::fromStdString(dir.File("quorvale.mdb")));
  ASSERT_TRUE(f.ZipCB->isChecked());
  // While the file goes out the bar moves and the window takes clicks; the actions refuse them.
  std::vector<int> bar;
  bool closed = true;
  QObject::connect(f.FilePB, &QProgressBar::valueChanged, [&](int value) {
    if (value > 0 && bar.empty()) {
      QTest::mouseClick(f.StartBtn, Qt::LeftButton);
      QTest::mouseClick(f.LoginBtn, Qt::LeftButton);
      closed = f.close();
    }
    bar.push_back(value);
  });
  QTest::mouseClick(f.StartBtn, Qt::LeftButton);

  const std::string archive = testing::ReadFile(dir.File("quorvale.zip"));
  EXPECT_EQ(testing::Unzipped(demo->FilesDir() + "/demo_quorvale.zip"),
            (std::map<std::string, std::string>{{"quorvale.mdb", data}}));
  EXPECT_EQ(testing::ReadFile(demo->FilesDir() + "/demo_quorvale.zip"), archive);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"File sended"});  // and nothing of the refused clicks
  EXPECT_FALSE(closed);
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(f.StatusText(1), "Disconnected");
  EXPECT_EQ(f.StatusText(2), "Done");
  // Block by block, then empty again (the log rows' records move it too, in one block each).
  ASSERT_GE(bar.size(), 4u);
  EXPECT_EQ(std::vector<int>(bar.begin(), bar.begin() + 3), (std::vector<int>{8192, 16384, 24576}));
  EXPECT_EQ(bar.back(), 0);
  EXPECT_EQ(LogRows(), (std::vector<std::string>{"Login ok|demo|Permission = UPLOAD;DOWNLOAD;TOOLS;BACKUP",
                                                 "FileTranfer:demo_quorvale.zip|demo|",
                                                 "FileTranfer: Done   " + std::to_string(archive.size()) +
                                                     " Bytes|demo|"}));

  // Without compression the file itself goes; a file that is not there is an error shown, and
  // the server's copy stays.
  f.ZipCB->setChecked(false);
  QTest::mouseClick(f.StartBtn, Qt::LeftButton);
  EXPECT_EQ(testing::ReadFile(demo->FilesDir() + "/demo_quorvale.mdb"), data);
  f.BronBestandEdt->setText(QString::fromStdString(dir.File("gone.mdb")));
  std::ofstream(demo->FilesDir() + "/demo_gone.mdb") << "kept";
  QTest::mouseClick(f.StartBtn, Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"File sended", "File sended",
                                                        "[MarvekConnection.FileSend]No such file or directory"}));
  EXPECT_EQ(testing::ReadFile(demo->FilesDir() + "/demo_gone.mdb"), "kept");
  EXPECT_EQ(f.StatusText(2), "Sending...");
  EXPECT_FALSE(f.Actions.Running());
  EXPECT_FALSE(program->DM1->RemoteConnection->Active());
}

TEST_F(MainWindowTest, UploadButtonWantsALoginFirst) {
  TTavrikFrm& f = Start();
  ServeDemo();
  f.show();
  std::ofstream(dir.File("a.mdb")) << "abc";
  f.BronBestandEdt->setText(QString::fromStdString(dir.File("a.mdb")));
  QTest::mouseClick(f.StartBtn, Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Er moet eerst ingelogged worden!!!"});
  EXPECT_EQ(f.StatusText(1), "Disconnected");
  EXPECT_EQ(f.StatusText(2), "Status");
  EXPECT_FALSE(std::filesystem::exists(dir.File("a.zip")));
  EXPECT_TRUE(std::filesystem::is_empty(demo->FilesDir()));
  EXPECT_TRUE(LogRows().empty());
}

}  // namespace
}  // namespace tavrik
