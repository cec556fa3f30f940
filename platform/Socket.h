// The socket port: blocking IPv4 sockets over POSIX, every failure given as a WinSock error
// number (platform/WinSockErrors.h). The protocol client and the exception logger's mail and
// name-server traffic both stand on it.
//
// Ownership: a descriptor returned by OpenSocket belongs to the caller, who closes it with
// CloseSocket. Nothing here keeps state; any thread may call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrik::platform {

// What one send or receive moved, or why it failed. A receive with neither a count nor an error
// means the peer closed the connection in good order.
struct TSocketIo {
  size_t count = 0;
  int error = 0;  // WinSock number; a time limit that ran out is 10060
};

// A new IPv4 socket of `type` (SOCK_STREAM or SOCK_DGRAM), closed on exec; a stream socket sends
// at once (no Nagle delay), since requests go out as a header and data in separate sends before
// a reply is awaited. -1 when none can be made.
int OpenSocket(int type);
void CloseSocket(int fd);
// The longest wait of one send and of one receive, in milliseconds (0 = none). A blocking
// connect is bounded by the send limit.
void SetIoTimeLimit(int fd, int milliseconds);

// The first IPv4 address (network byte order) of `name` from the name service; 0 or the WinSock
// number of the failure.
int LookUpIPv4(const std::string& name, uint32_t& address);
// "a.b.c.d" for an address in network byte order.
std::string DottedAddress(uint32_t address);
// Connects `fd` to address:port; 0 or the WinSock number (10060 when the time limit ran out).
int ConnectIPv4(int fd, uint32_t address, int port);

// One send of at most `size` bytes (never a signal for a peer that has gone).
TSocketIo SendSome(int fd, const char* data, size_t size);
// One receive of at most `size` bytes.
TSocketIo ReceiveSome(int fd, char* buffer, size_t size);
// True when `fd` turns readable within `milliseconds` (-1 = no limit). A peer that hung up or
// reset counts as readable: the next receive reports it.
bool WaitReadable(int fd, int milliseconds);

}  // namespace tavrik::platform
