#include "exlog/ESockets.h"

#include <arpa/inet.h>

#include <chrono>
#include <cstdio>

#include "core/StrUtils.h"
#include "exlog/EConsts.h"
#include "platform/Socket.h"
#include "platform/WinSockErrors.h"

namespace tavrik::exlog {

namespace {

constexpr int kReplyPause = 1000;

std::string Formatted(const char* format, const std::string& value) {
  std::string out = format;
  size_t at = out.find("%s");
  return at == std::string::npos ? out : out.replace(at, 2, value);
}

std::string ErrorText(int code) {
  std::string text = platform::WinSockErrorText(code);
  return text.empty() ? platform::SocketErrorMessage(code) : text;
}

}  // namespace

TRavlogClientSocket::~TRavlogClientSocket() { Close(); }

void TRavlogClientSocket::Connect() {
  Close();
  uint32_t address = ::inet_addr(Host.c_str());
  if (address == INADDR_NONE) {
    if (int error = platform::LookUpIPv4(Host, address))
      throw ERavlogSocketError(Formatted(kConnectionError, ErrorText(error)));
  }
  fd_ = platform::OpenSocket(type_);
  if (fd_ == -1) throw ERavlogSocketError(Formatted(kInvalidSocket, ErrorText(platform::WinSockErrorFromErrno(errno))));
  platform::SetIoTimeLimit(fd_, TimeOut);
  if (int error = platform::ConnectIPv4(fd_, address, Port)) {
    Close();
    throw ERavlogSocketError(Formatted(kConnectionError, ErrorText(error)));
  }
}

void TRavlogClientSocket::Close() {
  if (fd_ == -1) return;
  platform::CloseSocket(fd_);
  fd_ = -1;
}

void TRavlogClientSocket::Send(const std::string& data, const std::string& recorded) {
  Record(recorded.empty() ? data : recorded);
  size_t sent = 0;
  while (sent < data.size()) {
    size_t piece = std::min(kPieceSize, data.size() - sent);
    size_t done = 0;
    while (done < piece) {
      platform::TSocketIo io = platform::SendSome(fd_, data.data() + sent + done, piece - done);
      if (io.error) throw ERavlogSocketError(Formatted(kSendError, ErrorText(io.error)));
      if (io.count == 0) throw ERavlogSocketError(Formatted(kSendError, ErrorText(platform::kWsaShutdown)));
      done += io.count;
    }
    sent += piece;
    if (OnProgress) OnProgress(sent, data.size());
  }
}

std::string TRavlogClientSocket::ReceiveSome(size_t max) {
  std::string buffer(max, '\0');
  platform::TSocketIo io = platform::ReceiveSome(fd_, buffer.data(), buffer.size());
  if (io.error) throw ERavlogSocketError(Formatted(kRecvError, ErrorText(io.error)));
  buffer.resize(io.count);
  return buffer;
}

std::string TRavlogClientSocket::ReceiveReply() {
  if (!platform::WaitReadable(fd_, TimeOut)) throw ERavlogSocketError(kSocketTimeout);
  std::string reply;
  for (;;) {
    std::string piece = ReceiveSome(4096);
    if (piece.empty()) break;  // the peer closed: what came is all there is
    reply += piece;
    if (ReplyComplete(reply) || !platform::WaitReadable(fd_, kReplyPause)) break;
  }
  if (reply.empty()) throw ERavlogSocketError(Formatted(kRecvError, ErrorText(platform::kWsaConnReset)));
  Record(reply);
  return reply;
}

std::string TRavlogClientSocket::ReceiveDatagram() {
  if (!platform::WaitReadable(fd_, TimeOut)) throw ERavlogSocketError(kSocketTimeout);
  return ReceiveSome(65536);
}

int TRavlogClientSMTP::ReplyCode(const std::string& reply) {
  size_t digits = 0;
  while (digits < reply.size() && digits < 9 && reply[digits] >= '0' && reply[digits] <= '9') ++digits;
  return digits == 0 ? -1 : std::stoi(reply.substr(0, digits));
}

bool TRavlogClientSMTP::ReplyComplete(const std::string& received) const {
  size_t start = 0;
  for (size_t end; (end = received.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = received.substr(start, end - start);
    if (line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
        std::isdigit(static_cast<unsigned char>(line[1])) && std::isdigit(static_cast<unsigned char>(line[2])) &&
        (line.size() == 3 || line[3] != '-'))
      return true;
  }
  return false;
}

void TRavlogClientSMTP::Expect(int expected, int alternative) {
  const int code = ReplyCode(ReceiveReply());
  if (code != expected && (alternative < 0 || code != alternative)) throw ERavlogSocketError(Conversation());
}

void TRavlogClientSMTP::Command(const std::string& command, int expected, int alternative,
                                const std::string& recorded) {
  Send(command + "\r\n", recorded.empty() ? std::string() : recorded + "\r\n");
  Expect(expected, alternative);
}

}  // namespace tavrik::exlog
