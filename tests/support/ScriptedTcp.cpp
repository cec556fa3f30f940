#include "tests/support/ScriptedTcp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace tavrik::testing {

int BoundLoopbackSocket(int type, uint16_t& port) {
  int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (fd == -1) return -1;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

int ClosedPort() {
  uint16_t port = 0;
  int fd = BoundLoopbackSocket(SOCK_STREAM, port);
  if (fd != -1) ::close(fd);
  return port;
}

ScriptedTcp::ScriptedTcp(int step_wait_ms) : step_wait_ms_(step_wait_ms) {
  listener_ = BoundLoopbackSocket(SOCK_STREAM, port_);
  if (listener_ != -1) ::listen(listener_, 8);
  if (::pipe2(stop_pipe_, O_CLOEXEC) != 0) stop_pipe_[0] = stop_pipe_[1] = -1;
}

ScriptedTcp::~ScriptedTcp() {
  if (stop_pipe_[1] != -1) (void)!::write(stop_pipe_[1], "x", 1);
  if (thread_.joinable()) thread_.join();
  CloseClient();
  for (int fd : {listener_, stop_pipe_[0], stop_pipe_[1]})
    if (fd != -1) ::close(fd);
}

void ScriptedTcp::Start() {
  thread_ = std::thread([this] { Run(); });
}

void ScriptedTcp::Run() {
  for (size_t i = 0; i < steps_.size(); ++i) {
    std::string e = steps_[i]();
    if (!e.empty()) {
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = "step " + std::to_string(i) + ": " + e;
      // A client waiting for an answer that will never come learns it at once.
      CloseClient();
      return;
    }
  }
}

std::string ScriptedTcp::Finish() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

bool ScriptedTcp::WaitReadable(int fd, int milliseconds) {
  pollfd p[2] = {{fd, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    int rc = ::poll(p, 2, static_cast<int>(std::max<int64_t>(left.count(), 0)));
    if (rc == -1 && errno == EINTR) continue;
    if (rc <= 0 || (p[1].revents & POLLIN)) return false;
    return (p[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  }
}

bool ScriptedTcp::ClientReadable() { return WaitReadable(client_, step_wait_ms_); }

std::string ScriptedTcp::AcceptClient() {
  CloseClient();
  if (!WaitReadable(listener_, step_wait_ms_)) return "no client connected";
  client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  return client_ == -1 ? "accept failed" : "";
}

void ScriptedTcp::CloseClient() {
  if (client_ != -1) ::close(client_);
  client_ = -1;
}

std::string ScriptedTcp::ReceiveSome(std::string& into, size_t most) {
  if (!ClientReadable()) return "nothing arrived in time";
  char buf[65536];
  ssize_t n = ::recv(client_, buf, std::min(sizeof buf, most), 0);
  if (n == 0) return "client hung up";
  if (n < 0) return "recv failed";
  into.append(buf, static_cast<size_t>(n));
  return "";
}

std::string ScriptedTcp::SendAll(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return "send failed";
    sent += static_cast<size_t>(n);
  }
  return "";
}

}  // namespace tavrik::testing
