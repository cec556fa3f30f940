// The WinSock numbering that every socket failure of the system speaks: POSIX errno values and
// resolver failures become WinSock error numbers, so that a message reads the same on every
// platform ("Socket Error #10061" CR LF "Connection refused.").
#pragma once

#include <string>

namespace tavrik::platform {

// WinSock numbers that callers test for.
constexpr int kWsaWouldBlock = 10035;
constexpr int kWsaConnReset = 10054;
constexpr int kWsaShutdown = 10058;
constexpr int kWsaTimedOut = 10060;

// The text for a WinSock error number; empty for a number the table does not know.
std::string WinSockErrorText(int error_code);
// "Socket Error #" + number + CR LF + WinSockErrorText(number).
std::string SocketErrorMessage(int error_code);
// The WinSock number for a POSIX errno value; an errno without a WinSock twin is returned as is
// (its message then carries the number alone).
int WinSockErrorFromErrno(int err);
// The WinSock number for a getaddrinfo() result (11001 host not found and its kin).
int WinSockErrorFromResolver(int gai_error, int err);

}  // namespace tavrik::platform
