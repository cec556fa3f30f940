// TMvSock (the socket handle) and TMvSockClient (host resolution, connect, disconnect).
#include "net/MvWin.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "core/StrUtils.h"

namespace tavrik {

// --- TMvSock ---

TMvSock::~TMvSock() { CloseSocket(); }

void TMvSock::CloseSocket() {
  if (socket_ != -1) {
    ::close(socket_);
    socket_ = -1;
  }
}

void TMvSock::Disconnect() { CloseSocket(); }

void TMvSock::AllocateSocket(int type) {
  socket_ = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (socket_ == -1) throw EMvSockInvalidSocket("Cannot allocate socket.");
}

// --- TMvSockClient ---

void TMvSockClient::SetUser(std::string_view user) { user_ = UpperCase(user); }

uint32_t TMvSockClient::LookUpHost(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &answer);
  if (rc != 0 || !answer) {
    int err = errno;
    if (answer) ::freeaddrinfo(answer);
    throw EMvSockSocketError(WinSockErrorFromResolver(rc != 0 ? rc : EAI_NONAME, err));
  }
  uint32_t address = reinterpret_cast<sockaddr_in*>(answer->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(answer);
  return address;
}

uint32_t TMvSockClient::ResolveHost() {
  resolved_address_ = host_;
  if (SameText(host_, "LOCALHOST")) {
    resolved_address_ = "127.0.0.1";
    return htonl(INADDR_LOOPBACK);
  }
  // inet_addr answers INADDR_NONE both for text that is no address and for 255.255.255.255;
  // either way the name service gets the last word.
  in_addr_t dotted = ::inet_addr(host_.c_str());
  if (dotted != INADDR_NONE) return dotted;
  uint32_t address = LookUpHost(host_);
  const auto* b = reinterpret_cast<const unsigned char*>(&address);  // first byte first
  resolved_address_ = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
                      std::to_string(b[3]);
  return address;
}

void TMvSockClient::Connect() {
  if (Active()) throw EMvSockAlreadyConnected("Already connected.");
  DoStatus("Connecting to " + host_);
  SetBufferSize(BufferSize());
  try {
    AllocateSocket(SOCK_STREAM);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(Port()));
    address.sin_addr.s_addr = ResolveHost();
    if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == -1) {
      int err = errno;
      // A blocking connect cut short by the send time limit answers EINPROGRESS.
      throw EMvSockSocketError(err == EINPROGRESS ? kWsaTimedOut : WinSockErrorFromErrno(err));
    }
    DoStatus("Socket Connected");
  } catch (...) {
    Disconnect();
    throw;
  }
}

void TMvSockClient::Disconnect() {
  // Every step on its own: a failing status handler must not keep the socket open.
  try {
    DoStatus("Disconnecting");
  } catch (...) {
  }
  EmptyBuffer();
  resolved_address_.clear();
  if (Active()) CloseSocket();
  try {
    DoStatus("Disconnected");
  } catch (...) {
  }
}

}  // namespace tavrik
