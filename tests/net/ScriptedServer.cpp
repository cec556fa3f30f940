#include "tests/net/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "core/StrUtils.h"
#include "proto/MvFrame.h"

namespace tavrik::testing {

namespace {
constexpr int kStepLimitMs = 5000;
constexpr int kDrainLimitMs = 10000;

std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 32 && c < 127) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out.size() > 400 ? out.substr(0, 400) + "..." : out;
}
}  // namespace

ScriptedServer::ScriptedServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listener_, 4);
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  if (::pipe2(stop_pipe_, O_CLOEXEC) != 0) stop_pipe_[0] = stop_pipe_[1] = -1;
}

ScriptedServer::~ScriptedServer() {
  if (stop_pipe_[1] != -1) (void)!::write(stop_pipe_[1], "x", 1);
  if (thread_.joinable()) thread_.join();
  CloseClient();
  if (listener_ != -1) ::close(listener_);
  for (int fd : stop_pipe_)
    if (fd != -1) ::close(fd);
}

void ScriptedServer::CloseClient() {
  if (client_ != -1) ::close(client_);
  client_ = -1;
}

bool ScriptedServer::WaitReadable(int fd, int milliseconds) {
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

std::string ScriptedServer::ReadExact(size_t count, std::string& out) {
  out.clear();
  while (out.size() < count) {
    if (!WaitReadable(client_, kStepLimitMs)) return "nothing arrived in time (had " + Printable(out) + ")";
    char buf[65536];
    ssize_t n = ::recv(client_, buf, std::min(sizeof buf, count - out.size()), 0);
    if (n == 0) return "client hung up (had " + Printable(out) + ")";
    if (n < 0) return "recv failed";
    out.append(buf, static_cast<size_t>(n));
  }
  return std::string();
}

std::string ScriptedServer::ReadFrame(ReceivedFrame& frame) {
  std::string header;
  if (std::string e = ReadExact(kFrameHeaderSize, header); !e.empty()) return e;
  auto parsed = ParseRequestHeader(header);
  if (!parsed) return "bad request header " + Printable(header);
  if (std::string e = ReadExact(parsed->payload_length, frame.payload); !e.empty()) return e;
  frame.code = parsed->code;
  std::lock_guard<std::mutex> lock(mutex_);
  received_.push_back(frame);
  return std::string();
}

std::string ScriptedServer::SendAll(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return "send failed";
    sent += static_cast<size_t>(n);
  }
  return std::string();
}

std::string ScriptedServer::AcceptClient() {
  CloseClient();
  if (!WaitReadable(listener_, kStepLimitMs)) return "no client connected";
  client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  return client_ == -1 ? "accept failed" : "";
}

ScriptedServer& ScriptedServer::Accept() {
  steps_.push_back([this] { return AcceptClient(); });
  return *this;
}

ScriptedServer& ScriptedServer::Expect(const std::string& code, const std::string& payload) {
  steps_.push_back([this, code, payload] {
    ReceivedFrame frame;
    if (std::string e = ReadFrame(frame); !e.empty()) return "expecting " + code + ": " + e;
    if (frame.code != code || frame.payload != payload)
      return "expected " + code + " [" + Printable(payload) + "], got " + frame.code + " [" + Printable(frame.payload) +
             "]";
    return std::string();
  });
  return *this;
}

ScriptedServer& ScriptedServer::ExpectCode(const std::string& code) {
  steps_.push_back([this, code] {
    ReceivedFrame frame;
    if (std::string e = ReadFrame(frame); !e.empty()) return "expecting " + code + ": " + e;
    if (frame.code != code) return "expected " + code + ", got " + frame.code + " [" + Printable(frame.payload) + "]";
    return std::string();
  });
  return *this;
}

ScriptedServer& ScriptedServer::ExpectRaw(const std::string& bytes) {
  steps_.push_back([this, bytes] {
    std::string got;
    if (std::string e = ReadExact(bytes.size(), got); !e.empty()) return "expecting raw bytes: " + e;
    return got == bytes ? std::string() : "expected [" + Printable(bytes) + "], got [" + Printable(got) + "]";
  });
  return *this;
}

ScriptedServer& ScriptedServer::Reply(const std::string& code, const std::string& payload) {
  return SendRaw(BuildReplyHeader(static_cast<uint32_t>(payload.size()), code) + payload);
}

ScriptedServer& ScriptedServer::SendRaw(const std::string& bytes) {
  steps_.push_back([this, bytes] { return SendAll(bytes); });
  return *this;
}

ScriptedServer& ScriptedServer::Hangup() {
  steps_.push_back([this] {
    CloseClient();
    return std::string();
  });
  return *this;
}

ScriptedServer& ScriptedServer::DrainUntilClosed() {
  steps_.push_back([this] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDrainLimitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      if (!WaitReadable(client_, kStepLimitMs)) return std::string("client never hung up");
      char c;
      if (::recv(client_, &c, 1, MSG_PEEK) <= 0) return std::string();
      ReceivedFrame frame;
      if (std::string e = ReadFrame(frame); !e.empty()) return e.rfind("client hung up", 0) == 0 ? std::string() : e;
    }
    return std::string("client never hung up");
  });
  return *this;
}

ScriptedServer& ScriptedServer::Logout(const std::string& user) {
  return Expect("0465", PadRight(user, 10)).Reply("0465", "Y");
}

void ScriptedServer::Start() {
  steps_.insert(steps_.begin(), [this] { return AcceptClient(); });
  thread_ = std::thread([this] { Run(); });
}

void ScriptedServer::Run() {
  for (size_t i = 0; i < steps_.size(); ++i) {
    std::string e = steps_[i]();
    if (!e.empty()) {
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = "step " + std::to_string(i) + ": " + e;
      // A client waiting for an answer that will never come learns it at once.
      CloseClient();
      break;
    }
  }
}

std::string ScriptedServer::Finish() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

std::vector<ReceivedFrame> ScriptedServer::Received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

int ClosedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t n = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
  ::close(fd);
  return ntohs(a.sin_port);
}

}  // namespace tavrik::testing
