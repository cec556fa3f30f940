// TMvSock (the socket handle) and TMvSockClient (host resolution, connect, disconnect).
#include "net/MvWin.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "core/StrUtils.h"
#include "platform/Socket.h"

namespace tavrik {

// --- TMvSock ---

TMvSock::~TMvSock() { CloseSocket(); }

void TMvSock::CloseSocket() {
  if (socket_ != -1) {
    platform::CloseSocket(socket_);
    socket_ = -1;
  }
}

void TMvSock::Disconnect() { CloseSocket(); }

void TMvSock::AllocateSocket(int type) {
  socket_ = platform::OpenSocket(type);
  if (socket_ == -1) throw EMvSockInvalidSocket("Cannot allocate socket.");
}

// --- TMvSockClient ---

void TMvSockClient::SetUser(std::string_view user) { user_ = UpperCase(user); }

uint32_t TMvSockClient::LookUpHost(const std::string& name) {
  uint32_t address = 0;
  if (int error = platform::LookUpIPv4(name, address)) throw EMvSockSocketError(error);
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
  resolved_address_ = platform::DottedAddress(address);
  return address;
}

void TMvSockClient::Connect() {
  if (Active()) throw EMvSockAlreadyConnected("Already connected.");
  DoStatus("Connecting to " + host_);
  SetBufferSize(BufferSize());
  try {
    AllocateSocket(SOCK_STREAM);
    uint32_t address = ResolveHost();
    if (int error = platform::ConnectIPv4(socket_, address, Port())) throw EMvSockSocketError(error);
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
