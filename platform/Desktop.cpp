#include "platform/Desktop.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

extern char** environ;

namespace tavrik::platform {

namespace {
std::mutex g_mutex;
TDesktopCommands g_commands;

TDesktopCommands Commands() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_commands;
}
}  // namespace

TDesktopCommands SetDesktopCommands(TDesktopCommands commands) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::swap(g_commands, commands);
  return commands;
}

TRunResult RunProgram(const std::string& program, const std::vector<std::string>& args, int wait_milliseconds) {
  TRunResult result;
  std::vector<std::string> all = args;
  all.insert(all.begin(), program);
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  int rc = ::posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    result.error = std::strerror(rc);
    return result;
  }
  result.started = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_milliseconds);
  for (;;) {
    int status = 0;
    pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) {
      result.finished = true;
      result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return result;
    }
    if (done == -1 && errno != EINTR) return result;
    if (std::chrono::steady_clock::now() >= deadline) return result;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TRunResult RunMailClient(const std::vector<std::string>& args, int wait_milliseconds) {
  return RunProgram(Commands().mail_client, args, wait_milliseconds);
}

TRunResult OpenUrl(const std::string& url, int wait_milliseconds) {
  return RunProgram(Commands().url_opener, {url}, wait_milliseconds);
}

}  // namespace tavrik::platform
