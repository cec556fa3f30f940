// The program's actions apart from the window: the login with its permission pages, the upload
// of a file, and the closing log row. They reach the user only through ports (dialogs, screen
// cursor and message pump of platform/, the window's texts, compression switch, status bar, pages
// and progress bar through TActionPorts), so the window binds its widgets to them and a program
// without a window drives them the same way.
//
// One action at a time: an action lets window messages run while it waits (message boxes, the
// progress of a transfer), and a second action on the one connection would interleave its
// requests with the first one's, so every action asked for while one runs is refused. An error
// ends an action where it occurs; before it goes on to the caller, the action cancels and closes
// the tables it opened, deactivates the connection when it activated it, puts back the screen
// cursor and shows the connection's real state in status panel 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Exception.h"

namespace tavrik {

class TActionPorts;
class TDM1;
class TZipwright;

// An upload that cannot go on, or whose result does not hold (the server stored another length
// than was sent).
TAVRIK_EXCEPTION(EUploadError, Exception);

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

// The server's file area that uploads go to.
constexpr const char* kFileArea = "Files";
// The archive an upload compresses `source` into: `source` with its extension (its name part,
// after the last "\", ":" or "/", from its last ".") replaced by ".zip", or ".zip" appended when
// it has none; a leading "." of the name starts no extension (".profile" gives ".profile.zip").
std::string ZipNameBeside(const std::string& source);
// The name a file is stored under on the server: the user name without the blanks and control
// characters around it, "_", and the name part of the file sent.
std::string RemoteFileName(const std::string& user, const std::string& file_to_send);

// What the last upload that ended well stored.
struct TUploadResult {
  std::string remote_name;  // empty when none has
  int32_t length = 0;       // the length the server reports
};

class TMainActions {
 public:
  // Binds `ports` into the data module for as long as the actions live.
  // `zip` (not owned) compresses for the upload.
  TMainActions(TDM1& dm, TActionPorts& ports, TZipwright& zip);
  ~TMainActions();
  TMainActions(const TMainActions&) = delete;
  TMainActions& operator=(const TMainActions&) = delete;

  // An action is running (the others are refused meanwhile).
  bool Running() const { return running_; }

  // Each returns false when refused because another action is running.
  // The login button: checks the typed user name and password against USERS.DBF, tells the user,
  // logs the attempt, and after a successful one shows the account's message and pages.
  bool LoginBtnClick();
  // The upload button, once logged in: compresses the file named in the port into an archive
  // beside it (when asked, and when it is not an archive already), logs the transfer, replaces
  // the file of the same name in the area "Files" on the server, logs the length stored and
  // tells the user. The server's copy is deleted only once the file to send is known to be
  // sendable (there, held open without sharing, small enough, and an archive that received the
  // source); a stored length that differs from the bytes sent is an error.
  bool StartBtnClick();
  // The last log row of the run, "Close Application", with its own activation.
  bool CloseApplication();

  const TUploadResult& LastUpload() const { return last_upload_; }

 private:
  class TRun;

  // Compresses `source` into the archive `zip_name` with the ZIP component; whether anything was
  // added is the component's AddedCount.
  void Compress(const std::string& source, const std::string& zip_name);

  TDM1& dm_;
  TActionPorts& ports_;
  TZipwright& zip_;
  bool running_ = false;
  TUploadResult last_upload_;
};

}  // namespace tavrik
