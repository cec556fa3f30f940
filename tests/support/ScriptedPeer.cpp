#include "tests/support/ScriptedPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tavrik::testing {

namespace {

constexpr int kStepWait = 15000;  // longer than any client's own time-out in these tests

// A socket of `type` bound to 127.0.0.1 on an ephemeral port; `port` tells which.
int BoundSocket(int type, uint16_t& port) {
  int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (fd == -1 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    return -1;
  port = ntohs(address.sin_port);
  return fd;
}

bool Readable(int fd, int milliseconds) {
  pollfd p{fd, POLLIN, 0};
  int rc;
  while ((rc = ::poll(&p, 1, milliseconds)) == -1 && errno == EINTR) {
  }
  return rc == 1;
}

}  // namespace

ScriptedPeer::ScriptedPeer() {
  listener_ = BoundSocket(SOCK_STREAM, port_);
  if (listener_ != -1) ::listen(listener_, 8);
}

ScriptedPeer::~ScriptedPeer() {
  Finish();
  if (client_ != -1) ::close(client_);
  if (listener_ != -1) ::close(listener_);
}

ScriptedPeer& ScriptedPeer::Accept() {
  steps_.push_back([this]() -> std::string {
    if (client_ != -1) ::close(client_);
    client_ = -1;
    pending_.clear();
    if (!Readable(listener_, kStepWait)) return "no client connected";
    client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ == -1 ? "accept failed" : "";
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::Send(const std::string& bytes) {
  steps_.push_back([this, bytes]() -> std::string {
    return ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size())
               ? ""
               : "cannot send " + bytes;
  });
  return *this;
}

std::string ScriptedPeer::ReadOneLine(std::string& line) {
  for (;;) {
    size_t end = pending_.find("\r\n");
    if (end != std::string::npos) {
      line = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      return "";
    }
    if (!Readable(client_, kStepWait)) return "no line came";
    char piece[4096];
    ssize_t n = ::recv(client_, piece, sizeof piece, 0);
    if (n <= 0) return "the client closed before a whole line";
    pending_.append(piece, static_cast<size_t>(n));
  }
}

ScriptedPeer& ScriptedPeer::ExpectLine(const std::string& expected) {
  steps_.push_back([this, expected]() -> std::string {
    std::string line;
    if (std::string failure = ReadOneLine(line); !failure.empty()) return failure + " (expected " + expected + ")";
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
    return line == expected ? "" : "expected \"" + expected + "\", got \"" + line + "\"";
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::ReadLine() {
  steps_.push_back([this]() -> std::string {
    std::string line;
    if (std::string failure = ReadOneLine(line); !failure.empty()) return failure;
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
    return "";
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::ReadData() {
  steps_.push_back([this]() -> std::string {
    std::string message;
    for (std::string line; line != ".";) {
      if (std::string failure = ReadOneLine(line); !failure.empty()) return failure + " in the message";
      if (line != ".") message += line + "\r\n";
    }
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(message);
    return "";
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::ExpectClosed() {
  steps_.push_back([this]() -> std::string {
    char piece[256];
    while (Readable(client_, kStepWait)) {
      if (::recv(client_, piece, sizeof piece, 0) <= 0) return "";
    }
    return "the client did not close";
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::Conversation(const std::string& rcpt_reply) {
  return Accept()
      .Send("220 peer ready\r\n")
      .ReadLine()  // HELO
      .Send("250 hello\r\n")
      .ExpectLine("RSET")
      .Send("250 reset\r\n")
      .ReadLine()  // MAIL FROM
      .Send("250 sender ok\r\n")
      .ReadLine()  // RCPT TO
      .Send(rcpt_reply)
      .ExpectLine("DATA")
      .Send("354 go ahead\r\n")
      .ReadData()
      .Send("250 queued\r\n")
      .ExpectClosed();
}

void ScriptedPeer::Start() {
  thread_ = std::thread([this] {
    for (Step& step : steps_) {
      std::string failure = step();
      if (!failure.empty()) {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = failure;
        return;
      }
    }
  });
}

std::string ScriptedPeer::Finish() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

std::vector<std::string> ScriptedPeer::Lines() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::vector<std::string> ScriptedPeer::Messages() {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

ScriptedDnsServer::ScriptedDnsServer(Responder responder) : responder_(std::move(responder)) {
  socket_ = BoundSocket(SOCK_DGRAM, port_);
  if (::pipe2(stop_, O_CLOEXEC) == 0) thread_ = std::thread([this] { Run(); });
}

ScriptedDnsServer::~ScriptedDnsServer() {
  if (thread_.joinable()) {
    char quit = 'q';
    if (::write(stop_[1], &quit, 1) == 1) thread_.join();
    else thread_.detach();
  }
  for (int fd : {socket_, stop_[0], stop_[1]})
    if (fd != -1) ::close(fd);
}

std::vector<std::string> ScriptedDnsServer::Queries() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queries_;
}

void ScriptedDnsServer::Run() {
  for (;;) {
    pollfd p[2] = {{socket_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    if (::poll(p, 2, -1) == -1) {
      if (errno == EINTR) continue;
      return;
    }
    if (p[1].revents) return;
    char packet[65536];
    sockaddr_in from{};
    socklen_t size = sizeof from;
    ssize_t n = ::recvfrom(socket_, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &size);
    if (n < 0) continue;
    std::string query(packet, static_cast<size_t>(n));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queries_.push_back(query);
    }
    for (const std::string& answer : responder_(query))
      ::sendto(socket_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), size);
  }
}

}  // namespace tavrik::testing
