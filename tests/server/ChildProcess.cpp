#include "tests/server/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace tavrik::testing {

TChildProcess::TChildProcess(const std::vector<std::string>& argv, long file_size_limit) {
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    if (file_size_limit > 0) {
      rlimit limit{static_cast<rlim_t>(file_size_limit), static_cast<rlim_t>(file_size_limit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
}

TChildProcess::~TChildProcess() {
  if (pid_ > 0 && !status_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  for (int fd : {in_, out_, err_})
    if (fd >= 0) ::close(fd);
}

void TChildProcess::WriteStdin(const std::string& text) {
  if (in_ >= 0) (void)!::write(in_, text.data(), text.size());
}

void TChildProcess::CloseStdin() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

void TChildProcess::Drain(int fd, std::string& into, std::chrono::milliseconds timeout) {
  pollfd p{fd, POLLIN, 0};
  if (fd < 0 || ::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return;
  char buffer[4096];
  ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n > 0) into.append(buffer, static_cast<size_t>(n));
}

std::optional<std::string> TChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    size_t eol = out_buffer_.find('\n');
    if (eol != std::string::npos) {
      std::string line = out_buffer_.substr(0, eol);
      out_buffer_.erase(0, eol + 1);
      return line;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    size_t before = out_buffer_.size();
    Drain(out_, out_buffer_, left);
    if (out_buffer_.size() == before && WaitExit(std::chrono::milliseconds(0))) {
      Drain(out_, out_buffer_, std::chrono::milliseconds(0));
      if (out_buffer_.find('\n') == std::string::npos) return std::nullopt;
    }
  }
}

void TChildProcess::Signal(int sig) {
  if (pid_ > 0 && !status_) ::kill(pid_, sig);
}

std::optional<int> TChildProcess::WaitExit(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!status_ && pid_ > 0) {
    int status = 0;
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    Drain(err_, err_buffer_, std::chrono::milliseconds(20));  // a child blocked on a full pipe never ends
  }
  return status_;
}

std::string TChildProcess::Stderr() {
  for (;;) {
    size_t before = err_buffer_.size();
    Drain(err_, err_buffer_, std::chrono::milliseconds(status_ ? 100 : 0));
    if (err_buffer_.size() == before) return err_buffer_;
  }
}

}  // namespace tavrik::testing
