#include "server/Listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/StrUtils.h"

namespace tavrik::server {

TListener::TListener(const std::string& address, uint16_t port)
    : address_(SameText(address, "localhost") ? "127.0.0.1" : address) {
  auto fail = [&](const std::string& what) {
    std::string reason = std::strerror(errno);
    if (fd_ >= 0) ::close(fd_);
    throw EListener("Cannot listen on " + address_ + ":" + std::to_string(port) + ": " + what + reason);
  };
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  if (::inet_pton(AF_INET, address_.c_str(), &addr.sin_addr) != 1) {
    errno = EINVAL;
    fail("not an IPv4 address: ");
  }
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) fail("");
  int on = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) fail("");
  if (::listen(fd_, 64) != 0) fail("");
  socklen_t len = sizeof addr;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) fail("");
  port_ = ntohs(addr.sin_port);
  if (::pipe2(wake_, O_CLOEXEC) != 0) fail("");
}

TListener::~TListener() {
  for (int fd : {fd_, wake_[0], wake_[1]})
    if (fd >= 0) ::close(fd);
}

void TListener::Interrupt() {
  char byte = 1;
  (void)!::write(wake_[1], &byte, 1);
}

int TListener::Accept(std::chrono::milliseconds timeout) {
  pollfd p[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
  if (::poll(p, 2, static_cast<int>(timeout.count())) <= 0 || p[1].revents) return -1;
  int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    // Out of descriptors or memory the connection stays queued and poll reports it at once
    // again: pause rather than spin. (A client that gave up meanwhile needs no pause.)
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) ::usleep(100 * 1000);
    return -1;
  }
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

}  // namespace tavrik::server
