#include "app/MainActions.h"

#include <exception>
#include <utility>

#include "app/ActionPorts.h"
#include "app/ClientDM.h"
#include "app/Token.h"
#include "core/StrUtils.h"
#include "platform/Dialogs.h"
#include "platform/ScreenCursor.h"

namespace tavrik {

bool LoggedIn = false;
std::string Permissions;

namespace {

constexpr std::pair<const char*, int> kPermissionPages[] = {
    {"UPLOAD", kUploadPage}, {"DOWNLOAD", kDownloadPage}, {"TOOLS", kToolsPage}, {"BACKUP", kBackupPage}};

// The boxes of the login are plain messages with an OK button.
void Tell(const std::string& text) { platform::CurrentDialogs().ShowMessage(text, platform::TMsgDlgType::mtCustom); }

}  // namespace

std::string ChooseText(bool flag, const std::string& when_true, const std::string& when_false) {
  return flag ? when_true : when_false;
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

TMainActions::TMainActions(TDM1& dm, TActionPorts& ports) : dm_(dm), ports_(ports) { dm_.BindPorts(&ports_); }

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

bool TMainActions::CloseApplication() {
  if (running_) return false;
  TRun run(*this);
  run.Activate();
  dm_.ToLog("Close Application", "");
  dm_.RemoteConnection->SetActive(false);
  return true;
}

}  // namespace tavrik
