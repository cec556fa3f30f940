// A program run as a child process with its standard streams on pipes; every wait is bounded,
// and a child still running when the object goes is killed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tavrik::testing {

class TChildProcess {
 public:
  // `file_size_limit` > 0: RLIMIT_FSIZE of the child, in bytes.
  explicit TChildProcess(const std::vector<std::string>& argv, long file_size_limit = 0);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  void WriteStdin(const std::string& text);
  void CloseStdin();
  // The next line of standard output (without its newline), or nothing within `timeout`.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  void Signal(int sig);
  // The exit status, or nothing when the child is still running after `timeout`.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout);
  // Everything the child wrote to standard error so far (complete only after it exited).
  std::string Stderr();

 private:
  void Drain(int fd, std::string& into, std::chrono::milliseconds timeout);
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::string out_buffer_, err_buffer_;
  std::optional<int> status_;
};

}  // namespace tavrik::testing
