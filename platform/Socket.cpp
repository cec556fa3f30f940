#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/WinSockErrors.h"

namespace tavrik::platform {

namespace {

// A would-block answer of a blocking socket means its time limit ran out.
int IoError(int err) { return err == EAGAIN || err == EWOULDBLOCK ? kWsaTimedOut : WinSockErrorFromErrno(err); }

}  // namespace

int OpenSocket(int type) {
  int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd != -1 && type == SOCK_STREAM) {
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }
  return fd;
}

void CloseSocket(int fd) {
  if (fd != -1) ::close(fd);
}

void SetIoTimeLimit(int fd, int milliseconds) {
  timeval limit{};
  limit.tv_sec = milliseconds / 1000;
  limit.tv_usec = (milliseconds % 1000) * 1000;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

int LookUpIPv4(const std::string& name, uint32_t& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &answer);
  if (rc != 0 || !answer) {
    int err = errno;
    if (answer) ::freeaddrinfo(answer);
    return WinSockErrorFromResolver(rc != 0 ? rc : EAI_NONAME, err);
  }
  address = reinterpret_cast<sockaddr_in*>(answer->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(answer);
  return 0;
}

std::string DottedAddress(uint32_t address) {
  const auto* b = reinterpret_cast<const unsigned char*>(&address);  // first byte first
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

int ConnectIPv4(int fd, uint32_t address, int port) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<uint16_t>(port));
  peer.sin_addr.s_addr = address;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0) return 0;
  int err = errno;
  // A blocking connect cut short by the send time limit answers EINPROGRESS.
  return err == EINPROGRESS ? kWsaTimedOut : WinSockErrorFromErrno(err);
}

TSocketIo SendSome(int fd, const char* data, size_t size) {
  for (;;) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n >= 0) return {static_cast<size_t>(n), 0};
    if (errno != EINTR) return {0, IoError(errno)};
  }
}

TSocketIo ReceiveSome(int fd, char* buffer, size_t size) {
  for (;;) {
    ssize_t n = ::recv(fd, buffer, size, 0);
    if (n >= 0) return {static_cast<size_t>(n), 0};
    if (errno != EINTR) return {0, IoError(errno)};
  }
}

bool WaitReadable(int fd, int milliseconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
  for (;;) {
    int wait = -1;
    if (milliseconds >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = static_cast<int>(std::max<int64_t>(left, 0));
    }
    pollfd p{fd, POLLIN, 0};
    int rc = ::poll(&p, 1, wait);
    if (rc == -1 && errno == EINTR) continue;
    return rc == 1 && (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  }
}

}  // namespace tavrik::platform
