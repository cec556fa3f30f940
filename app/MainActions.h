// The program's actions apart from the window: the login with its permission pages, and the
// closing log row. They reach the user only through ports (dialogs, screen cursor and message
// pump of platform/, the window's texts, status bar, pages and progress bar through
// TActionPorts), so the window binds its widgets to them and a program without a window drives
// them the same way.
//
// One action at a time: an action lets window messages run while it waits (message boxes, the
// progress of a transfer), and a second action on the one connection would interleave its
// requests with the first one's, so every action asked for while one runs is refused. An error
// ends an action where it occurs; before it goes on to the caller, the action cancels and closes
// the tables it opened, deactivates the connection when it activated it, puts back the screen
// cursor and shows the connection's real state in status panel 1.
#pragma once

#include <string>
#include <vector>

namespace tavrik {

class TActionPorts;
class TDM1;

// Program-wide login state: a login has succeeded in this run, and that account's permissions.
// Only a successful login changes them (a later failed attempt keeps both).
extern bool LoggedIn;
extern std::string Permissions;

// Pages of PageControl1 that a permission shows.
constexpr int kUploadPage = 1;
constexpr int kDownloadPage = 2;
constexpr int kToolsPage = 3;
constexpr int kBackupPage = 4;

std::string ChooseText(bool flag, const std::string& when_true, const std::string& when_false);
// The pages a ";"-separated permission list shows, in the order its tokens name them: a token
// equal to a keyword after upper-casing (UPLOAD, DOWNLOAD, TOOLS, BACKUP) shows its page; blanks
// are part of a token.
std::vector<int> PermittedPages(const std::string& permissions);

class TMainActions {
 public:
  // Binds `ports` into the data module for as long as the actions live.
  TMainActions(TDM1& dm, TActionPorts& ports);
  ~TMainActions();
  TMainActions(const TMainActions&) = delete;
  TMainActions& operator=(const TMainActions&) = delete;

  // An action is running (the others are refused meanwhile).
  bool Running() const { return running_; }

  // Each returns false when refused because another action is running.
  // The login button: checks the typed user name and password against USERS.DBF, tells the user,
  // logs the attempt, and after a successful one shows the account's message and pages.
  bool LoginBtnClick();
  // The last log row of the run, "Close Application", with its own activation.
  bool CloseApplication();

 private:
  class TRun;

  TDM1& dm_;
  TActionPorts& ports_;
  bool running_ = false;
};

}  // namespace tavrik
