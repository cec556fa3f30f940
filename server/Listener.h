// The listening TCP socket: bound to an IPv4 address and port (0 = ephemeral), handing out
// accepted connections with TCP_NODELAY set, since clients wait for each small reply.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/Exception.h"

namespace tavrik::server {

TAVRIK_EXCEPTION(EListener, Exception);

class TListener {
 public:
  // Raises EListener "Cannot listen on ADDRESS:PORT: reason".
  TListener(const std::string& address, uint16_t port);
  ~TListener();
  TListener(const TListener&) = delete;
  TListener& operator=(const TListener&) = delete;

  const std::string& Address() const { return address_; }
  uint16_t Port() const { return port_; }  // the real one, also when 0 was asked for

  // A connected socket (the caller owns it), or -1 when none arrived within `timeout` or
  // Interrupt was called.
  int Accept(std::chrono::milliseconds timeout);
  // From any thread: the current and every later Accept returns -1 at once.
  void Interrupt();

 private:
  int fd_ = -1;
  int wake_[2] = {-1, -1};
  std::string address_;
  uint16_t port_ = 0;
};

}  // namespace tavrik::server
