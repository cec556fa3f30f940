#include "server/Channel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavrik::server {

namespace {

// Waits for `events` on `fd` for at most `timeout`, restarting after signals with what is left.
bool WaitFor(int fd, short events, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd, events, 0};
    int n = ::poll(&p, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
    if (n > 0) return true;  // readiness, a hang-up or an error: the call that follows tells
    if (n == 0) return false;
    if (errno != EINTR) throw EClientGone(std::string("poll failed: ") + std::strerror(errno));
  }
}

}  // namespace

TSocketChannel::~TSocketChannel() {
  if (fd_ >= 0) ::close(fd_);
}

size_t TSocketChannel::ReadSome(char* buffer, size_t size, std::chrono::milliseconds timeout) {
  // Take what is there first; wait only when nothing is (during an upload data usually is).
  for (;;) {
    ssize_t n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      throw EClientGone(std::string("receive failed: ") + std::strerror(errno));
    if (!WaitFor(fd_, POLLIN, timeout)) throw EClientTimeout("silent for " + std::to_string(timeout.count()) + " ms");
  }
}

void TSocketChannel::WriteAll(const char* data, size_t size, std::chrono::milliseconds timeout) {
  size_t done = 0;
  while (done < size) {
    if (!WaitFor(fd_, POLLOUT, timeout))
      throw EClientGone("not reading for " + std::to_string(timeout.count()) + " ms");
    // MSG_DONTWAIT: a full buffer brings us back to the bounded wait instead of blocking.
    ssize_t n = ::send(fd_, data + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    throw EClientGone(std::string("send failed: ") + (n == 0 ? "nothing sent" : std::strerror(errno)));
  }
}

void TSocketChannel::CloseWrite() { ::shutdown(fd_, SHUT_WR); }

void TSocketChannel::Abort() { ::shutdown(fd_, SHUT_RDWR); }

std::string PeerName(int fd) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || addr.sin_family != AF_INET) return "?";
  char text[INET_ADDRSTRLEN] = "?";
  ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(addr.sin_port));
}

}  // namespace tavrik::server
