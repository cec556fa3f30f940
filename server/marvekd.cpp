// marvekd: the stand-in Marvek database server. Prints "marvekd listening on ADDRESS:PORT" on
// standard output once it accepts connections, reads administrator commands from standard
// input (server/AdminConsole.h), and ends on "shutdown", SIGTERM or SIGINT after sending every
// client the shutdown notice. Exit status: 0 after a shutdown, 2 for bad options or settings,
// 1 when it cannot listen, another server serves its folders, or it cannot make the demo.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "server/AdminConsole.h"
#include "server/CommandLine.h"
#include "server/DemoSetup.h"
#include "server/Server.h"

using namespace tavrik;
using namespace tavrik::server;

int main(int argc, char** argv) {
  TCommandLine options;
  TServerConfig config;
  try {
    options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!options.init_demo_dir.empty()) {
      std::string report;
      try {
        std::string ini = InitDemo(options.init_demo_dir, report);
        std::fputs(report.c_str(), stdout);
        std::printf("start the server with: marvekd --config %s\n", ini.c_str());
        return 0;
      } catch (const EDemoSetup& e) {
        std::fputs(report.c_str(), stdout);
        std::fprintf(stderr, "marvekd: %s\n", e.Message().c_str());
        return 1;
      }
    }
    config = options.MakeConfig();
  } catch (const Exception& e) {
    std::fprintf(stderr, "marvekd: %s\n%s", e.Message().c_str(), kUsage);
    return 2;
  }

  // A client that vanishes must not kill us with SIGPIPE, nor a file-size limit with SIGXFSZ
  // (the write then fails and the upload is refused). SIGTERM and SIGINT are taken below by
  // sigtimedwait; blocked now, before any thread starts, so no other thread receives them.
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  std::unique_ptr<TServerLog> log;
  try {
    log = config.log_file.empty() ? std::make_unique<TServerLog>() : std::make_unique<TServerLog>(config.log_file);
  } catch (const Exception& e) {
    std::fprintf(stderr, "marvekd: %s\n", e.Message().c_str());
    return 2;
  }
  log->SetVerbose(config.verbose);

  TServer server(config, *log);
  try {
    server.Start();
  } catch (const Exception& e) {
    log->Line(e.Message());
    if (!config.log_file.empty()) std::fprintf(stderr, "marvekd: %s\n", e.Message().c_str());
    return 1;
  }
  std::printf("marvekd listening on %s:%u\n", server.Address().c_str(), static_cast<unsigned>(server.Port()));
  std::fflush(stdout);
  log->Line("listening on " + server.Address() + ":" + std::to_string(server.Port()));

  std::atomic<bool> stop{false};
  TAdminConsole console(server);
  std::thread console_thread([&] { console.Run(STDIN_FILENO, STDOUT_FILENO, stop); });

  for (;;) {
    timespec step{0, 200 * 1000 * 1000};
    int sig = ::sigtimedwait(&stop_signals, nullptr, &step);
    if (sig > 0) {
      log->Line(std::string("signal ") + (sig == SIGTERM ? "SIGTERM" : "SIGINT") + ": shutting down");
      break;
    }
    if (console.ShutdownRequested()) {
      log->Line("console: shutting down");
      break;
    }
  }
  server.Shutdown();
  stop = true;
  console_thread.join();
  return 0;
}
