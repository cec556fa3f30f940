// The administrator's console of marvekd: one command per line on standard input, each answered
// with one or more lines on standard output.
//   message <text>              "0301" with the text to every connected client
//   progress <min> <max> <pos>  "0300" with three 32-bit numbers to every connected client
//   clients                     one line per connection
//   shutdown                    "0302" to every client, then the server ends
//   help                        this list
// The end of standard input ends the console only; the server keeps running (SIGTERM ends it).
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "server/Server.h"

namespace tavrik::server {

class TAdminConsole {
 public:
  explicit TAdminConsole(TServer& server) : server_(server) {}

  // Runs one command line; returns the answer (lines ending in "\n"). "shutdown" only sets
  // ShutdownRequested: the caller stops the server, outside the console.
  std::string Execute(std::string_view line);
  bool ShutdownRequested() const { return shutdown_requested_; }

  // Reads lines from `fd` and writes answers to `out_fd` until `stop` is set, the input ends or
  // "shutdown" is given. Waits in steps of 200 ms, so setting `stop` ends it soon.
  void Run(int fd, int out_fd, const std::atomic<bool>& stop);

 private:
  TServer& server_;
  std::atomic<bool> shutdown_requested_{false};
};

}  // namespace tavrik::server
