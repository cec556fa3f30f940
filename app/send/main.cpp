// tavrik-send: the upload of the page "Upload" from the command line, for scheduled and scripted
// uploads. It checks the account against USERS.DBF as the login button does (and needs the
// UPLOAD permission), then runs the upload action: the same log rows, the same compression and
// the same name on the server. The connection itself logs in with the program's own server
// account, never with the user's name and password.
//
// Output: the stored name and length on standard output; the progress bar on standard error
// when it is a terminal; messages on standard error, each as "tavrik-send: " and the text.
// Exit status: 0 when the file was stored; 1 when anything failed; 2 for a command line that
// does not read.
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "app/ClientDM.h"
#include "app/MainActions.h"
#include "app/send/SendBar.h"
#include "app/send/SendPorts.h"
#include "net/MvConnOptions.h"
#include "platform/FormatSettings.h"
#include "zip/ZipWrt.h"

namespace {

constexpr const char* kUsage =
    "usage: tavrik-send [-H host] [-p port] [-u user] [-w password] [--no-zip] [-t timeout-ms] FILE\n";

struct Options {
  tavrik::TConnOptions connection;
  bool no_zip = false;
  bool help = false;
  std::string file;
};

Options ParseOptions(int argc, char** argv) {
  Options o;
  const std::vector<std::string> files = tavrik::ParseToolOptions(
      std::vector<std::string>(argv + 1, argv + argc), o.connection,
      {{"no-zip", 0, false, [&](const std::string&) { o.no_zip = true; }},
       {"help", 'h', false, [&](const std::string&) { o.help = true; }}});
  if (o.help) return o;
  if (files.size() != 1) throw tavrik::EToolUsage(files.empty() ? "no FILE given" : "more than one FILE given");
  if (files[0].empty()) throw tavrik::EToolUsage("an empty FILE name");
  o.file = files[0];
  return o;
}

// The ports answer the actions' message boxes for as long as they live.
class TDialogsBinding {
 public:
  explicit TDialogsBinding(tavrik::platform::Dialogs& dialogs) : previous_(tavrik::platform::SetDialogs(&dialogs)) {}
  ~TDialogsBinding() { tavrik::platform::SetDialogs(previous_); }
  TDialogsBinding(const TDialogsBinding&) = delete;
  TDialogsBinding& operator=(const TDialogsBinding&) = delete;

 private:
  tavrik::platform::Dialogs* previous_;
};

// A message on a line of its own, after a bar that is being drawn.
void Say(tavrik::TSendBar& bar, const std::string& message) {
  bar.End();
  std::fprintf(stderr, "tavrik-send: %s\n", message.c_str());
}

int Fail(tavrik::TSendBar& bar, const std::string& message) {
  Say(bar, message);
  return 1;
}

int Send(const Options& o) {
  tavrik::TSendBar bar(::isatty(STDERR_FILENO) ? stderr : nullptr);
  try {
    tavrik::TDM1 dm;
    // The server's address and the wait; -u and -w are the account that is checked, not the
    // connection's login.
    dm.RemoteConnection->SetHost(o.connection.host);
    dm.RemoteConnection->SetPort(o.connection.port);
    dm.RemoteConnection->SetTimeOut(o.connection.timeout);
    tavrik::TZipwright zip;
    zip.SetName("Zipwright1");
    zip.SetAddCompLevel(9);
    zip.SetUnattended(true);
    // Why compressing failed: the engine's messages.
    zip.OnMessage = [&](tavrik::TComponent*, int, const std::string& message) { Say(bar, message); };
    tavrik::TSendPorts ports(o.connection.user, o.connection.password, o.file, !o.no_zip, bar);
    TDialogsBinding binding(ports);
    tavrik::TMainActions actions(dm, ports, zip);

    actions.LoginBtnClick();
    if (!tavrik::LoggedIn) return Fail(bar, ports.LastMessage());
    const std::vector<int>& pages = ports.Pages();
    if (std::find(pages.begin(), pages.end(), tavrik::kUploadPage) == pages.end())
      return Fail(bar, "user " + o.connection.user + " has no UPLOAD permission");
    actions.StartBtnClick();
    bar.End();
    const tavrik::TUploadResult& stored = actions.LastUpload();
    if (stored.remote_name.empty()) return Fail(bar, ports.LastMessage());
    std::printf("%s %d\n", stored.remote_name.c_str(), static_cast<int>(stored.length));
    return std::fflush(stdout) == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    return Fail(bar, e.what());
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  try {
    o = ParseOptions(argc, argv);
  } catch (const tavrik::EToolUsage& e) {
    std::fprintf(stderr, "tavrik-send: %s\n%s", e.Message().c_str(), kUsage);
    return 2;
  }
  if (o.help) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // The log rows' time stamps in the formats of the user's locale, as the window writes them;
  // numbers keep reading and writing ".".
  std::setlocale(LC_ALL, "");
  tavrik::platform::LoadFormatSettingsFromLocale();
  std::setlocale(LC_NUMERIC, "C");
  return Send(o);
}
