#include "app/MainActions.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "app/ActionPorts.h"
#include "app/ClientDM.h"
#include "app/Token.h"
#include "core/StrUtils.h"
#include "platform/Dialogs.h"
#include "platform/ExclusiveFile.h"
#include "platform/ScreenCursor.h"
#include "zip/ZipWrt.h"

namespace tavrik {

bool LoggedIn = false;
std::string Permissions;

namespace {

constexpr std::pair<const char*, int> kPermissionPages[] = {
    {"UPLOAD", kUploadPage}, {"DOWNLOAD", kDownloadPage}, {"TOOLS", kToolsPage}, {"BACKUP", kBackupPage}};

// The boxes of the actions are plain messages with an OK button.
void Tell(const std::string& text) { platform::CurrentDialogs().ShowMessage(text, platform::TMsgDlgType::mtCustom); }

// Where the extension of `path` starts (its last "." in the name part, not the name's first
// character), or npos when it has none.
size_t ExtensionStart(const std::string& path) {
  const size_t name = path.size() - ExtractFileName(path).size();
  const size_t dot = path.rfind('.');
  return dot != std::string::npos && dot > name ? dot : std::string::npos;
}

bool IsZipName(const std::string& path) {
  const size_t dot = ExtensionStart(path);
  return dot != std::string::npos && UpperCase(path.substr(dot)) == ".ZIP";
}

// A descriptor closed when the scope ends.
struct TFdHold {
  int fd;
  ~TFdHold() {
    if (fd != -1) ::close(fd);
  }
};

}  // namespace

std::string ChooseText(bool flag, const std::string& when_true, const std::string& when_false) {
  return flag ? when_true : when_false;
}

std::string ZipNameBeside(const std::string& source) {
  return source.substr(0, std::min(ExtensionStart(source), source.size())) + ".zip";
}

std::string RemoteFileName(const std::string& user, const std::string& file_to_send) {
  return Trim(user) + "_" + std::string(ExtractFileName(file_to_send));
}

std::vector<int> PermittedPages(const std::string& permissions) {
  const std::string list = UpperCase(permissions);
  std::vector<int> pages;
  const int count = TokenCount(list, ';');
  for (int d = 1; d <= count; ++d) {
    const std::string token = GetToken(list, ';', d);
    for (const auto& [keyword, page] : kPermissionPages)
      if (token == keyword) pages.push_back(page);
  }
  return pages;
}

// One run of an action: the actions count as running for its length. When an error ends the run,
// its end puts back what the run left open, before the error goes on.
class TMainActions::TRun {
 public:
  explicit TRun(TMainActions& actions) : actions_(actions) { actions_.running_ = true; }
  ~TRun() {
    if (std::uncaught_exceptions() > errors_at_start_) Recover();
    actions_.running_ = false;
  }
  TRun(const TRun&) = delete;
  TRun& operator=(const TRun&) = delete;

  // Activates the connection, noting whether this run did.
  void Activate() {
    TMarvekConnection& connection = *actions_.dm_.RemoteConnection;
    activated_ = !connection.Active();
    connection.SetActive(true);
  }

 private:
  void Recover() noexcept {
    TDM1& dm = actions_.dm_;
    // Only the running action has tables open.
    CancelAndClose(*dm.UsersTbl);
    CancelAndClose(*dm.LogTbl);
    if (activated_) Deactivate(*dm.RemoteConnection);
    try {
      actions_.ports_.SetStatusText(1, ChooseText(dm.RemoteConnection->Active(), "Connected", "Disconnected"));
    } catch (...) {
      // The error on its way matters more than the status text.
    }
  }

  TMainActions& actions_;
  const int errors_at_start_ = std::uncaught_exceptions();
  bool activated_ = false;
};

TMainActions::TMainActions(TDM1& dm, TActionPorts& ports, TZipwright& zip) : dm_(dm), ports_(ports), zip_(zip) {
  dm_.BindPorts(&ports_);
}

TMainActions::~TMainActions() { dm_.BindPorts(nullptr); }

bool TMainActions::LoginBtnClick() {
  if (running_) return false;
  // Declared first, so the cursor comes back last, also after an error.
  platform::TCursorScope hourglass(platform::TCursor::crHourGlass);
  TRun run(*this);
  run.Activate();
  TMarvekTable& users = *dm_.UsersTbl;
  users.Open();
  users.First();
  if (!users.Locate("USER_ID", {TVariant(ports_.UserIdText())}, 0)) {
    Tell("Gebruiker niet gevonden");
    dm_.ToLog("Login failed:", "Gebruiker niet gevonden");
  } else if (const std::string typed = ports_.PasswordText(); users.FieldByName("PASSWRD").AsString() != typed) {
    Tell("Paswoord niet OK");
    // Whoever reads the log must not learn the password, nor how a slip differs from it.
    dm_.ToLog("Login failed:", "Paswoord niet OK :" + std::string(typed.size(), '*'));
  } else {
    LoggedIn = true;
    Permissions = users.FieldByName("PERMISSION").AsString();
    dm_.ToLog("Login ok", "Permission = " + Permissions);
    const std::string message = users.FieldByName("MESSAGE").AsString();
    if (!message.empty()) Tell(message);
    for (int page : PermittedPages(Permissions)) ports_.ShowPage(page);
  }
  ports_.SetStatusText(4, ChooseText(LoggedIn, "Loged in", "Not loged in"));
  users.Close();
  dm_.RemoteConnection->SetActive(false);
  return true;
}

bool TMainActions::StartBtnClick() {
  if (running_) return false;
  // Declared first, so the cursor comes back last, also after an error.
  std::optional<platform::TCursorScope> hourglass;
  // The box below lets window messages run: no other action may start meanwhile either.
  TRun run(*this);
  if (!LoggedIn) {
    Tell("Er moet eerst ingelogged worden!!!");
    return true;
  }
  hourglass.emplace(platform::TCursor::crHourGlass);
  last_upload_ = {};
  TMarvekConnection& connection = *dm_.RemoteConnection;
  ports_.SetStatusText(1, "Connecting...");
  run.Activate();
  ports_.SetStatusText(1, ChooseText(connection.Active(), "Connected", "Disconnected"));

  const std::string source = ports_.SourceFileText();
  std::string to_send = source;
  const bool compress = ports_.Compression() && !IsZipName(source);
  if (compress) {
    ports_.SetStatusText(2, "Compressing...");
    to_send = ZipNameBeside(source);
    ::unlink(to_send.c_str());  // an old archive; the upload goes on whatever the outcome
    Compress(source, to_send);
  }
  const std::string remote = RemoteFileName(ports_.UserIdText(), to_send);
  dm_.ToLog("FileTranfer:" + remote, "");
  ports_.SetStatusText(2, "Sending...");

  // What the send would refuse is found out while the server's copy is still there, and the
  // file sent is the one checked, held so that nobody changes it meanwhile.
  std::unique_ptr<TFileSendSource> file = connection.OpenSendSource(to_send);
  if (!file) throw EUploadError(to_send + " is not sent");  // refused to an OnError handler
  if (compress && zip_.AddedCount() == 0)
    throw EUploadError("Compressing " + source + " into " + to_send + " failed; nothing is sent");
  if (connection.FileExists(kFileArea, remote)) connection.DeleteFile(kFileArea, remote);
  const int32_t sent = connection.FileSend(kFileArea, *file, remote);
  file.reset();
  const int32_t stored = connection.FileLength(kFileArea, remote);
  dm_.ToLog("FileTranfer: Done   " + std::to_string(stored) + " Bytes", "");
  if (stored != sent)
    throw EUploadError("The server stored " + std::to_string(stored) + " bytes of " + remote + ", but " +
                       std::to_string(sent) + " were sent");
  connection.SetActive(false);
  ports_.SetStatusText(2, "Done");
  last_upload_ = {remote, stored};
  Tell("File sended");
  ports_.SetStatusText(1, ChooseText(connection.Active(), "Connected", "Disconnected"));
  return true;
}

void TMainActions::Compress(const std::string& source, const std::string& zip_name) {
  // Another program that has the source open may be changing it: an archive of it could hold
  // anything. Held without sharing while the engine reads it, as a file sent unpacked is.
  const platform::TExclusiveOpen held = platform::OpenReadExclusive(source);
  const TFdHold hold{held.fd};
  if (held.fd == -1 && held.error == EBUSY) throw EUploadError("Opening source:" + source);
  // Specs left by a call that stopped before the engine would go into this archive too.
  zip_.FSpecArgs().clear();
  zip_.SetZipFileName(zip_name);
  zip_.FSpecArgs().push_back(source);
  zip_.AddFiles();
}

bool TMainActions::CloseApplication() {
  if (running_) return false;
  TRun run(*this);
  run.Activate();
  dm_.ToLog("Close Application", "");
  dm_.RemoteConnection->SetActive(false);
  return true;
}

}  // namespace tavrik
