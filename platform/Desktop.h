// The desktop's mail client and URL handler (xdg-email and xdg-open), standing in for the
// registered mail command and the mail client's library. Programs are started directly, never
// through a shell, so no text handed to them is read as a command. Tests bind commands of
// their own.
#pragma once

#include <string>
#include <vector>

namespace tavrik::platform {

struct TDesktopCommands {
  std::string mail_client = "xdg-email";
  std::string url_opener = "xdg-open";
};
// Binds `commands`; returns the previous ones.
TDesktopCommands SetDesktopCommands(TDesktopCommands commands);

struct TRunResult {
  bool started = false;
  bool finished = false;  // ended within the wait
  int exit_code = -1;
  std::string error;  // why it did not start
};

// Runs `program` (searched on the path) with `args` and waits at most `wait_milliseconds` for it
// to end; one that is still running then is left to run.
TRunResult RunProgram(const std::string& program, const std::vector<std::string>& args, int wait_milliseconds);
// The mail client with `args`, and the URL handler with `url`.
TRunResult RunMailClient(const std::vector<std::string>& args, int wait_milliseconds);
TRunResult OpenUrl(const std::string& url, int wait_milliseconds);

}  // namespace tavrik::platform
