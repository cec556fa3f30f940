// TMarvekConnection: construction, activation, login and logout, error reports.
#include "net/MvConn.h"

#include "core/StrUtils.h"
#include "net/MvConnCodec.h"
#include "platform/VolumeId.h"
#include "proto/MvLogin.h"
#include "proto/MvScramble.h"

namespace tavrik {

namespace {
// Sent in every login record and never changed.
constexpr const char* kLoginText = "";
constexpr const char* kLoginProfile = "Default";
constexpr int kLoginLevel = 6;
constexpr int kLoginFlags = 0;
}  // namespace

TMarvekConnection::TMarvekConnection(TComponent* owner) : TMvSockClient(owner), poll_timer_(platform::MakeTimer()) {
  SetHost("127.0.0.1");
  SetPort(8121);
  SetTimeOut(120000);
  poll_timer_->SetInterval(1000);
  poll_timer_->SetOnTimer([this] { PollServer(); });
}

TMarvekConnection::~TMarvekConnection() {
  try {
    SetActive(false);
  } catch (...) {
    // Going away: a failing logout cannot be reported to anyone.
  }
  poll_timer_->SetEnabled(false);
  poll_timer_->SetOnTimer(nullptr);
}

void TMarvekConnection::SetTimeOut(int milliseconds) {
  time_out_ = milliseconds < 0 ? 0 : milliseconds;
  // A frame once begun must not stall the client for longer than a whole reply may.
  SetIoTimeLimit(time_out_);
}

void TMarvekConnection::Disconnect() {
  // The server forgets the login and its work areas with the socket.
  logged_in_ = false;
  work_area_ = 0;
  PollTimerOff();  // nothing to poll without a socket
  TMvSockClient::Disconnect();
}

void TMarvekConnection::PollTimerOn() {
  // A connection being loaded or designed never polls: its owner is not running yet.
  if (poll_ && Active() && !IsLoading() && !IsDesigning()) poll_timer_->SetEnabled(true);
}

void TMarvekConnection::ReportError(const std::string& command, const std::string& msg) {
  if (OnError) {
    OnError(this, command, msg);
    return;
  }
  throw Exception("[" + command + "]" + msg);
}

void TMarvekConnection::SetActive(bool value) {
  if (value == Active()) return;
  if (!value) {
    PollTimerOff();
    try {
      if (logged_in_) Logout();
    } catch (...) {
      Disconnect();
      throw;
    }
    Disconnect();
    return;
  }
  const bool storing = IsLoading() || IsDesigning();
  bool accepted = true;
  try {
    Connect();
    if (!User().empty()) accepted = Login();
  } catch (const std::exception&) {
    Disconnect();
    ReportError("MarvekConnection.SetActive", "No Marvek Database Server found at " + Host());
    return;
  }
  if (!accepted) {
    Disconnect();
    ReportError("MarvekConnection.SetActive",
                storing ? "Login not accepted" : "Login not accepted. Maximum user count may have been exceeded");
    return;
  }
  if (!storing) PollTimerOn();
}

// The login record (proto/MvLogin.h), 1,788 characters with the values used here.
std::string TMarvekConnection::LoginRecord() const {
  TLoginRecord r;
  r.password = Password();
  r.user = User();
  r.machine_id = std::to_string(platform::VolumeSerialNumber());
  r.login_text = kLoginText;
  r.database = kLoginProfile;
  r.version = std::to_string(kLoginLevel);
  r.compression = compression_;
  r.level = std::to_string(kLoginFlags);
  r.server_name = server_name_;
  r.group_name = group_name_;
  return BuildLoginRecord(r);
}

bool TMarvekConnection::Login() {
  logged_in_ = false;
  if (!Active()) return false;
  std::string reply = Xmit(mvcmd::Login, Scramble(LoginRecord()));
  if (!reply.empty() && reply[0] == 'Y') {
    logged_in_ = true;
    if (OnLogin) OnLogin(this, true, "");
  } else {
    Logout();
    if (OnLogin) OnLogin(this, false, Trim(reply.size() > 1 ? std::string_view(reply).substr(1) : ""));
  }
  return logged_in_;
}

void TMarvekConnection::Logout() {
  // The flag drops before the request: should the reply never come, the failure handling
  // deactivates the connection, and that must not log out the same login a second time.
  logged_in_ = false;
  if (Active()) Xmit(mvcmd::Logout, LogoutPayload(User()));
  if (OnLogout) OnLogout(this);
  logged_in_ = false;
}

}  // namespace tavrik
