// The login and the closing log row as a program without a window drives them: against marvekd
// serving the demo installation, with scripted dialogs, a recording screen cursor and the port
// over plain values; the log rows read back by dbfread.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <utility>

#include "platform/DateText.h"
#include "tests/app/ActionFixture.h"
#include "tests/app/DemoInstallation.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/ErrorText.h"
#include "tests/support/ReadFile.h"

namespace tavrik::testing {
namespace {

using platform::TCursor;

class LoginActionTest : public ActionTest {
 protected:
  void StartServer() {
    const uint16_t port = demo.Start();
    ASSERT_NE(port, 0);
    UseServer(port);
  }

  // Logs in as `user` / `password`, widening the time window of the rows' time stamps.
  void Login(const std::string& user, const std::string& password) {
    ports.user = user;
    ports.password = password;
    if (before == 0) before = platform::Now();
    EXPECT_TRUE(actions->LoginBtnClick());
    after = platform::Now();
  }

  // Each row without its time stamp, which must be a second of the window from `before` to
  // `after` as the program writes it (a loaded machine may take seconds over several logins).
  std::vector<std::string> LogRows() {
    std::set<std::string> stamps{platform::DateTimeToStr(after)};
    for (TDateTime t = before; t < after; t += 1.0 / 86400) stamps.insert(platform::DateTimeToStr(t));
    std::vector<std::string> rows;
    for (const std::string& row : demo.LogRows()) {
      const std::string stamp = row.substr(0, row.find('|'));
      EXPECT_TRUE(stamps.count(stamp)) << row;
      rows.push_back(row.substr(stamp.size() + 1));
    }
    return rows;
  }

  DemoInstallation demo;
  TDateTime before = 0, after = 0;
};

TEST_F(LoginActionTest, DemoAccountSeesItsMessageAndEveryPage) {
  StartServer();
  Login("demo", "welkom");
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Welkom bij de demo-installatie van Tavrik."});
  EXPECT_EQ(dialogs.message_types, std::vector<platform::TMsgDlgType>{platform::TMsgDlgType::mtCustom});
  EXPECT_EQ(ports.pages, (std::vector<int>{kUploadPage, kDownloadPage, kToolsPage, kBackupPage}));
  EXPECT_EQ(ports.status[4], "Loged in");
  EXPECT_TRUE(LoggedIn);
  EXPECT_EQ(Permissions, "UPLOAD;DOWNLOAD;TOOLS;BACKUP");
  EXPECT_EQ(cursor.history, (std::vector<TCursor>{TCursor::crHourGlass, TCursor::crDefault}));
  ExpectNothingLeftOpen();
  EXPECT_EQ(LogRows(), std::vector<std::string>{"Login ok|demo|Permission = UPLOAD;DOWNLOAD;TOOLS;BACKUP"});
}

// Name and password are compared as typed: no trimming, no case folding.
TEST_F(LoginActionTest, RefusedAttemptsAreToldAndLoggedWithoutThePassword) {
  StartServer();
  const struct {
    const char* name;
    std::string user, password, message, remark;
  } cases[] = {
      {"unknown user", "nobody", "welkom", "Gebruiker niet gevonden", "Gebruiker niet gevonden"},
      {"name in other case", "Demo", "welkom", "Gebruiker niet gevonden", "Gebruiker niet gevonden"},
      {"name with a leading blank", " demo", "welkom", "Gebruiker niet gevonden", "Gebruiker niet gevonden"},
      {"password in other case", "demo", "Welkom", "Paswoord niet OK", "Paswoord niet OK :******"},
      {"password with a trailing blank", "demo", "welkom ", "Paswoord niet OK", "Paswoord niet OK :*******"},
      {"empty password", "demo", "", "Paswoord niet OK", "Paswoord niet OK :"},
  };
  std::vector<std::string> expected_rows;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.messages.clear();
    Login(c.user, c.password);
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(ports.status[4], "Not loged in");
    EXPECT_TRUE(ports.pages.empty());
    EXPECT_FALSE(LoggedIn);
    ExpectNothingLeftOpen();
    expected_rows.push_back("Login failed:|" + c.user + "|" + c.remark);
  }
  EXPECT_EQ(LogRows(), expected_rows);
  // Nowhere in the file, not even in a field dbfread does not show.
  const std::string file = ReadFile(demo.LogFile());
  EXPECT_EQ(file.find("Welkom"), std::string::npos);
  EXPECT_EQ(file.find("welkom"), std::string::npos);
}

TEST_F(LoginActionTest, PermissionListsShowTheirPages) {
  const struct {
    const char* user;
    const char* permission;
    std::vector<int> pages;
  } cases[] = {
      {"lower", "upload;tools", {kUploadPage, kToolsPage}},
      {"blank", "UPLOAD; TOOLS", {kUploadPage}},  // the second token begins with a blank
      {"trailing", "UPLOAD;", {kUploadPage}},
      {"leading", ";UPLOAD", {kUploadPage}},
      {"none", "", {}},
      {"unknown", "ADMIN;BACKUP;DOWNLOAD", {kBackupPage, kDownloadPage}},
  };
  for (const auto& c : cases) demo.AddAccount(c.user, "pw", c.permission);
  StartServer();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.user);
    LoggedIn = false;
    ports.pages.clear();
    Login(c.user, "pw");
    EXPECT_EQ(ports.pages, c.pages);
    EXPECT_TRUE(LoggedIn);
    EXPECT_EQ(Permissions, c.permission);
    EXPECT_EQ(ports.status[4], "Loged in");
  }
  EXPECT_TRUE(dialogs.messages.empty());  // no account message, no box
  EXPECT_EQ(LogRows().back(), "Login ok|unknown|Permission = ADMIN;BACKUP;DOWNLOAD");
}

TEST_F(LoginActionTest, LaterLoginsAddPagesAndFailedOnesKeepTheLogin) {
  demo.AddAccount("anna", "a1", "UPLOAD", "Hallo Anna");
  demo.AddAccount("bert", "b2", "TOOLS");
  StartServer();
  Login("anna", "a1");
  Login("bert", "b2");
  EXPECT_EQ(ports.pages, (std::vector<int>{kUploadPage, kToolsPage}));
  EXPECT_EQ(Permissions, "TOOLS");
  ports.status[4].clear();
  Login("anna", "wrong");
  Login("carl", "");
  EXPECT_TRUE(LoggedIn);
  EXPECT_EQ(Permissions, "TOOLS");
  EXPECT_EQ(ports.status[4], "Loged in");
  EXPECT_EQ(ports.pages, (std::vector<int>{kUploadPage, kToolsPage}));
  EXPECT_EQ(dialogs.messages,
            (std::vector<std::string>{"Hallo Anna", "Paswoord niet OK", "Gebruiker niet gevonden"}));
  EXPECT_EQ(LogRows(), (std::vector<std::string>{
                           "Login ok|anna|Permission = UPLOAD", "Login ok|bert|Permission = TOOLS",
                           "Login failed:|anna|Paswoord niet OK :*****", "Login failed:|carl|Gebruiker niet gevonden"}));
}

TEST_F(LoginActionTest, LogRowLeavesTheConnectionAsItFoundIt) {
  StartServer();
  TMarvekConnection& connection = *dm->RemoteConnection;
  ports.user = " Clerk 1";
  before = platform::Now();
  dm->ToLog("Inactive before", "");
  EXPECT_FALSE(connection.Active());
  connection.SetActive(true);
  ports.user = "changed";  // the name as typed at the moment of the call
  dm->ToLog("Active before", "a remark");
  EXPECT_TRUE(connection.Active());
  EXPECT_TRUE(connection.LoggedIn());
  connection.SetActive(false);
  after = platform::Now();
  EXPECT_EQ(LogRows(), (std::vector<std::string>{"Inactive before| Clerk 1|", "Active before|changed|a remark"}));
}

TEST_F(LoginActionTest, ClosingWritesTheLastRow) {
  StartServer();
  ports.user = "demo";
  before = platform::Now();
  EXPECT_TRUE(actions->CloseApplication());
  after = platform::Now();
  ExpectNothingLeftOpen();
  EXPECT_TRUE(cursor.history.empty());
  EXPECT_EQ(LogRows(), std::vector<std::string>{"Close Application|demo|"});
}

TEST_F(LoginActionTest, WithoutServerTheErrorGoesOnAndNothingStaysOpen) {
  UseServer(uint16_t(ClosedPort()));
  const std::string refused = "[MarvekConnection.SetActive]No Marvek Database Server found at 127.0.0.1";
  EXPECT_EQ(MessageOf([&] { actions->LoginBtnClick(); }), refused);
  ExpectNothingLeftOpen();
  EXPECT_EQ(cursor.history, (std::vector<TCursor>{TCursor::crHourGlass, TCursor::crDefault}));
  EXPECT_EQ(ports.status[1], "Disconnected");
  EXPECT_EQ(MessageOf([&] { actions->CloseApplication(); }), refused);
  ExpectNothingLeftOpen();
  EXPECT_EQ(MessageOf([&] { dm->ToLog("x", ""); }), refused);
  EXPECT_FALSE(dm->LogTbl->Active());
}

// The server goes while the user reads "Gebruiker niet gevonden": the log row fails, the error
// goes on, and the next login on a server that is back works.
TEST_F(LoginActionTest, ServerStoppingInTheMiddleLeavesNothingOpen) {
  StartServer();
  dialogs.OnMessage = [&](const std::string&) { demo.Stop(); };
  ports.user = "nobody";
  const std::string error = MessageOf([&] { actions->LoginBtnClick(); });
  EXPECT_NE(error.find("[MarvekConnection."), std::string::npos) << error;
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Gebruiker niet gevonden"});
  ExpectNothingLeftOpen();
  EXPECT_EQ(cursor.history, (std::vector<TCursor>{TCursor::crHourGlass, TCursor::crDefault}));
  EXPECT_EQ(ports.status[1], "Disconnected");

  dialogs.OnMessage = nullptr;
  StartServer();
  Login("demo", "welkom");
  EXPECT_TRUE(LoggedIn);
  ExpectNothingLeftOpen();
  EXPECT_EQ(LogRows(), std::vector<std::string>{"Login ok|demo|Permission = UPLOAD;DOWNLOAD;TOOLS;BACKUP"});
}

// While the login waits for the user to read its message, a second login and the closing are
// refused: their requests would land in the middle of the first one's.
TEST_F(LoginActionTest, ActionsAreRefusedWhileOneRuns) {
  StartServer();
  std::vector<bool> accepted;
  bool acted = false;
  dialogs.OnMessage = [&](const std::string&) {
    if (std::exchange(acted, true)) return;  // once: a second login let through shows its own box
    EXPECT_TRUE(actions->Running());
    accepted.push_back(actions->LoginBtnClick());
    accepted.push_back(actions->CloseApplication());
  };
  Login("demo", "welkom");
  EXPECT_EQ(accepted, (std::vector<bool>{false, false}));
  ExpectNothingLeftOpen();
  EXPECT_EQ(LogRows(), std::vector<std::string>{"Login ok|demo|Permission = UPLOAD;DOWNLOAD;TOOLS;BACKUP"});
}

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(PermittedPages, TokensAndKeywords) {
  const struct {
    const char* name;
    std::string permissions;
    std::vector<int> pages;
  } cases[] = {
      {"all, in the order of the list", "BACKUP;TOOLS;DOWNLOAD;UPLOAD",
       {kBackupPage, kToolsPage, kDownloadPage, kUploadPage}},
      {"mixed case", "Upload;tOOLS", {kUploadPage, kToolsPage}},
      {"blank inside a token", "UPLOAD ;DOWNLOAD", {kDownloadPage}},
      {"a named page twice", "TOOLS;TOOLS", {kToolsPage, kToolsPage}},
      {"other separators", "UPLOAD,TOOLS", {}},
      {"only separators", ";;;", {}},
      {"empty", "", {}},
      {"more than 255 tokens", std::string(300, ';') + "UPLOAD", {kUploadPage}},
      {"a keyword beyond character 255", Repeated("VIEW;", 60) + "BACKUP", {kBackupPage}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PermittedPages(c.permissions), c.pages);
  }
}

}  // namespace
}  // namespace tavrik::testing
