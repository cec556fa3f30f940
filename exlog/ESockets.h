// The sockets of the report sending: TRavlogClientSocket (one blocking IPv4 socket, stream or
// datagram, with a host, a port and a time-out, on the platform's socket port) and
// TRavlogClientSMTP (the reply check of the SMTP dialogue). Every text exchanged is kept in a
// conversation record that becomes the message of a failure; a password never enters it.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <string>

#include "core/Exception.h"

namespace tavrik::exlog {

TAVRIK_EXCEPTION(ERavlogSocketError, Exception);

class TRavlogClientSocket {
 public:
  static constexpr int kDefaultTimeOut = 30000;
  static constexpr size_t kPieceSize = 1024;

  explicit TRavlogClientSocket(int type = SOCK_STREAM) : type_(type) {}
  virtual ~TRavlogClientSocket();
  TRavlogClientSocket(const TRavlogClientSocket&) = delete;
  TRavlogClientSocket& operator=(const TRavlogClientSocket&) = delete;

  std::string Host;
  uint16_t Port = 0;
  int TimeOut = kDefaultTimeOut;  // milliseconds
  // Called after each piece of a send with the bytes sent so far and the whole count.
  std::function<void(size_t sent, size_t total)> OnProgress;

  // Resolves Host (a dotted address or a name: its first address) and connects.
  void Connect();
  void Close();

  // Sends all of `data` in pieces of at most 1,024 bytes; `recorded` goes into the conversation
  // in its place (the data itself when empty).
  void Send(const std::string& data, const std::string& recorded = std::string());
  // Everything that arrives until nothing more comes for one second, or until ReplyComplete says
  // the reply is whole. Raises "Socket timeout." when nothing at all comes within TimeOut.
  std::string ReceiveReply();
  // One datagram (up to 64 KiB) within TimeOut.
  std::string ReceiveDatagram();

  const std::string& Conversation() const { return conversation_; }

 protected:
  // Whether `received` is known to be a whole reply; by default never (the pause decides).
  virtual bool ReplyComplete(const std::string& received) const {
    (void)received;
    return false;
  }
  void Record(const std::string& text) { conversation_ += text; }

 private:
  std::string ReceiveSome(size_t max);

  int type_;
  int fd_ = -1;
  std::string conversation_;
};

class TRavlogClientSMTP : public TRavlogClientSocket {
 public:
  // The reply's code: its leading digits (of the first line); -1 when it has none.
  static int ReplyCode(const std::string& reply);

  // Reads a reply and raises ERavlogSocketError with the conversation unless its code is
  // `expected` or `alternative`.
  void Expect(int expected, int alternative = -1);
  // Sends `command` and a line break, then Expect. `recorded` stands in the conversation for a
  // command that must not be kept (a password).
  void Command(const std::string& command, int expected, int alternative = -1,
               const std::string& recorded = std::string());

 protected:
  // A reply is whole once a line "NNN text" (a code and a blank, not the "NNN-" of a line that
  // more lines follow) has ended.
  bool ReplyComplete(const std::string& received) const override;
};

}  // namespace tavrik::exlog
