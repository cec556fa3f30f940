// mvsh: connects to a Marvek server, logs in when a user is given, runs the commands given as
// arguments (one command per argument) or, without any, one per line of standard input, and
// prints each result on its own line. Server notices print as lines beginning with "* ".
// The poll timer is a manual one, fired once after every command, so notices that arrive while
// the tool is between commands are printed before the next command runs.
//
// Exit status: 0 when every command ran; 1 when a command or the connection failed (its message
// on standard error); 2 for a bad option or a command line that does not read.
#include <iostream>
#include <string>
#include <vector>

#include "core/StrUtils.h"
#include "net/MvConn.h"
#include "net/MvConnOptions.h"
#include "net/mvsh/Mvsh.h"
#include "platform/Timer.h"

namespace {

constexpr const char* kUsage =
    "usage: mvsh [-H host] [-p port] [-u user] [-w password] [-t timeout-ms] [-s server-name] [-g group-name]\n"
    "            [command ...]\n"
    "Runs each command argument, or each line of standard input when none is given.\n";

struct Options {
  tavrik::TConnOptions connection;
  std::string server_name;
  std::string group_name;
  bool help = false;
  std::vector<std::string> commands;
};

Options ParseOptions(int argc, char** argv) {
  Options o;
  o.commands = tavrik::ParseToolOptions(std::vector<std::string>(argv + 1, argv + argc), o.connection,
                                        {{"server-name", 's', true, [&](const std::string& v) { o.server_name = v; }},
                                         {"group-name", 'g', true, [&](const std::string& v) { o.group_name = v; }},
                                         {"help", 'h', false, [&](const std::string&) { o.help = true; }}});
  return o;
}

// Fires the manual poll timer once, so that waiting notices are read and printed.
void Poll(tavrik::TMarvekConnection& connection) {
  if (auto* timer = dynamic_cast<tavrik::platform::ManualTimer*>(&connection.PollTimer())) timer->Fire();
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  try {
    o = ParseOptions(argc, argv);
  } catch (const tavrik::EToolUsage& e) {
    std::cerr << "mvsh: " << e.Message() << "\n" << kUsage;
    return 2;
  }
  if (o.help) {
    std::cerr << kUsage;
    return 2;
  }
  tavrik::TMarvekConnection connection;
  o.connection.ApplyTo(connection);
  connection.SetServerName(o.server_name);
  connection.SetGroupName(o.group_name);
  connection.OnServerMessage = [](tavrik::TComponent*, const std::string& msg) { std::cout << "* " << msg << std::endl; };
  connection.OnServerProgress = [](tavrik::TComponent*, tavrik::TxProgressStatus, int64_t min, int64_t max,
                                   int64_t position) {
    std::cout << "* progress " << min << " " << max << " " << position << std::endl;
  };
  connection.OnServerStream = [](tavrik::TComponent*, tavrik::TMemoryStream& stream) {
    std::cout << "* stream of " << stream.Size() << " bytes" << std::endl;
  };
  connection.OnLogin = [](tavrik::TComponent*, bool accepted, const std::string& msg) {
    if (!accepted && !msg.empty()) std::cerr << "mvsh: login refused: " << msg << "\n";
  };

  tavrik::mvsh::Interpreter shell(connection);
  auto next = [&, i = size_t{0}](std::string& line) mutable {
    if (!o.commands.empty()) {
      if (i >= o.commands.size()) return false;
      line = o.commands[i++];
      return true;
    }
    return static_cast<bool>(std::getline(std::cin, line));
  };

  int status = 0;
  try {
    connection.SetActive(true);
    std::string line;
    while (next(line)) {
      std::string trimmed = tavrik::Trim(line);
      if (trimmed.empty() || trimmed[0] == '#') continue;
      std::cout << shell.Execute(line) << std::endl;
      Poll(connection);
    }
    connection.SetActive(false);
  } catch (const tavrik::mvsh::EMvshUsage& e) {
    std::cerr << "mvsh: " << e.Message() << "\n";
    status = 2;
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    status = 1;
  }
  if (status != 0) {
    try {
      connection.SetActive(false);
    } catch (const std::exception& e) {
      std::cerr << e.what() << "\n";
    }
  }
  return status;
}
