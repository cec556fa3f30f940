// A forked child process for tests that need another process on the same files. The child runs
// a function and talks to the test through two pipes.
#pragma once

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace tavrik::xbase::testing {

// Runs `child` in a forked process that talks to the test through two pipes: it reports with
// Say() and waits for the test's go-ahead with Wait().
class TChild {
 public:
  template <typename F>
  explicit TChild(F child) {
    if (::pipe(to_parent_) != 0 || ::pipe(to_child_) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      int code = 0;
      try {
        child(*this);
      } catch (const std::exception& e) {
        Say(std::string("error: ") + e.what());
        code = 1;
      }
      ::_exit(code);
    }
  }
  ~TChild() {
    if (pid_ > 0) Finish();
    for (int fd : {to_parent_[0], to_parent_[1], to_child_[0], to_child_[1]}) ::close(fd);
  }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;
  void Say(const std::string& line) const {
    std::string l = line + "\n";
    (void)!::write(to_parent_[1], l.data(), l.size());
  }
  void Wait() const {
    char c;
    (void)!::read(to_child_[0], &c, 1);
  }
  // The test's side: the child's next line, or what is left of it when the child says nothing
  // more for kHearLimitMs (a child that died or hangs does not hang the test).
  std::string Hear() const {
    std::string line;
    char c;
    pollfd p{to_parent_[0], POLLIN, 0};
    while (::poll(&p, 1, kHearLimitMs) == 1 && ::read(to_parent_[0], &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  void Go() const { (void)!::write(to_child_[1], "g", 1); }
  int Finish() {
    Go();
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  static constexpr int kHearLimitMs = 30000;
  int to_parent_[2];
  int to_child_[2];
  pid_t pid_ = -1;
};

}  // namespace tavrik::xbase::testing
