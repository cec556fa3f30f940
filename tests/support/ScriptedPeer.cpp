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
}  // namespace

ScriptedPeer::ScriptedPeer() : tcp_(kStepWait) {}

ScriptedPeer& ScriptedPeer::Accept() {
  tcp_.Add([this]() -> std::string {
    pending_.clear();
    return tcp_.AcceptClient();
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::Send(const std::string& bytes) {
  tcp_.Add([this, bytes] { return tcp_.SendAll(bytes); });
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
    if (std::string e = tcp_.ReceiveSome(pending_, 4096); !e.empty()) return e + " before a whole line";
  }
}

ScriptedPeer& ScriptedPeer::ExpectLine(const std::string& expected) {
  tcp_.Add([this, expected]() -> std::string {
    std::string line;
    if (std::string failure = ReadOneLine(line); !failure.empty()) return failure + " (expected " + expected + ")";
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
    return line == expected ? "" : "expected \"" + expected + "\", got \"" + line + "\"";
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::ReadLine() {
  tcp_.Add([this]() -> std::string {
    std::string line;
    if (std::string failure = ReadOneLine(line); !failure.empty()) return failure;
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
    return "";
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::ReadData() {
  tcp_.Add([this]() -> std::string {
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
  tcp_.Add([this]() -> std::string {
    char piece[256];
    while (tcp_.ClientReadable()) {
      if (::recv(tcp_.Client(), piece, sizeof piece, 0) <= 0) return "";
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

void ScriptedPeer::Start() { tcp_.Start(); }

std::string ScriptedPeer::Finish() { return tcp_.Finish(); }

std::vector<std::string> ScriptedPeer::Lines() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::vector<std::string> ScriptedPeer::Messages() {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

ScriptedDnsServer::ScriptedDnsServer(Responder responder) : responder_(std::move(responder)) {
  socket_ = BoundLoopbackSocket(SOCK_DGRAM, port_);
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
