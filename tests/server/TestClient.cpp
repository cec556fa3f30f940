#include "tests/server/TestClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "proto/MvFrame.h"
#include "proto/MvScramble.h"

namespace tavrik::testing {

TTestClient::TTestClient(uint16_t port, int receive_buffer) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ >= 0 && receive_buffer > 0)
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    Close();
    return;
  }
  int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

TTestClient::~TTestClient() { Close(); }

void TTestClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool TTestClient::Send(std::string_view bytes) {
  size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return fd_ >= 0;
}

bool TTestClient::SendRequest(std::string_view code, std::string_view payload) {
  return Send(BuildRequestHeader(static_cast<uint32_t>(payload.size()), code) + std::string(payload));
}

bool TTestClient::ReadExact(std::string& out, size_t n, std::chrono::steady_clock::time_point deadline) {
  out.clear();
  char buffer[64 * 1024];
  while (out.size() < n) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (fd_ < 0 || left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    ssize_t got = ::recv(fd_, buffer, std::min(sizeof buffer, n - out.size()), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out.append(buffer, static_cast<size_t>(got));
  }
  return true;
}

std::optional<TFrame> TTestClient::ReadFrame(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  TFrame f;
  if (!ReadExact(f.header, kFrameHeaderSize, deadline)) return std::nullopt;
  f.code = ReplyCode(f.header);
  if (!ReadExact(f.payload, ReplyPayloadLength(f.header), deadline)) return std::nullopt;
  return f;
}

std::string TTestClient::Call(std::string_view code, std::string_view payload) {
  if (!SendRequest(code, payload)) return "<no reply>";
  auto f = ReadFrame();
  if (!f || f->code != "0001") return "<no reply>";
  return f->payload;
}

bool TTestClient::WaitClosed(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  char buffer[4096];
  while (fd_ >= 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return true;
  }
  return true;
}

bool TTestClient::Quiet(std::chrono::milliseconds timeout) {
  pollfd p{fd_, POLLIN, 0};
  return fd_ >= 0 && ::poll(&p, 1, static_cast<int>(timeout.count())) == 0;
}

std::string TTestClient::ScrambledLogin(const std::string& password, const std::string& user) {
  return Scramble(LoginRecord(password, user));
}

}  // namespace tavrik::testing
