// The byte stream between the server and one client, as a session sees it. Every wait is
// bounded; a closed, broken or silent peer ends in an EClientGone the session ends on.
// TSocketChannel is the TCP form; tests and the fuzz target put other byte sources behind it.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "core/Exception.h"

namespace tavrik::server {

// The client can no longer be talked to; the message says why ("closed the connection", ...).
TAVRIK_EXCEPTION(EClientGone, Exception);
// The wait for the client ran out; the reader of the channel knows which limit that was.
TAVRIK_EXCEPTION(EClientTimeout, EClientGone);

class TChannel {
 public:
  virtual ~TChannel() = default;
  // Waits at most `timeout` for at least one byte and returns how many arrived (1..size);
  // 0 when the peer has closed its side. Raises EClientTimeout on a time-out, EClientGone on a
  // socket error.
  virtual size_t ReadSome(char* buffer, size_t size, std::chrono::milliseconds timeout) = 0;
  // Sends every byte, waiting at most `timeout` for each bit of progress; EClientGone otherwise.
  virtual void WriteAll(const char* data, size_t size, std::chrono::milliseconds timeout) = 0;
  // Ends our sending side (the peer reads the end of the stream after what was sent).
  virtual void CloseWrite() = 0;
  // Ends both sides; a read or write blocked in another thread returns at once.
  virtual void Abort() = 0;
};

// Owns a connected TCP socket and closes it on destruction.
class TSocketChannel : public TChannel {
 public:
  explicit TSocketChannel(int fd) : fd_(fd) {}
  ~TSocketChannel() override;
  TSocketChannel(const TSocketChannel&) = delete;
  TSocketChannel& operator=(const TSocketChannel&) = delete;

  size_t ReadSome(char* buffer, size_t size, std::chrono::milliseconds timeout) override;
  void WriteAll(const char* data, size_t size, std::chrono::milliseconds timeout) override;
  void CloseWrite() override;
  void Abort() override;

 private:
  int fd_;
};

// "127.0.0.1:54321" for the peer of a connected socket.
std::string PeerName(int fd);

}  // namespace tavrik::server
