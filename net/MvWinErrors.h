// The errors of the socket transport, and the WinSock numbering they speak: POSIX errno values
// and resolver failures are turned into WinSock error numbers so that every message reads the
// same on every platform ("Socket Error #10061" CR LF "Connection refused.").
#pragma once

#include <string>

#include "core/Exception.h"

namespace tavrik {

// Raised when the socket library cannot start; POSIX sockets need no start-up, so it is the
// family's base more than an error of its own.
TAVRIK_EXCEPTION(EMvSockException, Exception);
TAVRIK_EXCEPTION(EMvSockInvalidSocket, EMvSockException);       // "Cannot allocate socket."
TAVRIK_EXCEPTION(EMvSockAlreadyConnected, EMvSockException);    // "Already connected."
TAVRIK_EXCEPTION(EMvSockClosedSocket, EMvSockException);        // "Socket is closed, cannot write"
TAVRIK_EXCEPTION(EMvSockConnClosedGraceful, EMvSockException);  // "Connection Closed Gracefully."
TAVRIK_EXCEPTION(EMvSockResponseError, EMvSockException);       // line commands only; never raised here

// Any other socket failure; carries the WinSock error number.
class EMvSockSocketError : public EMvSockException {
 public:
  // The message is SocketErrorMessage(error_code).
  explicit EMvSockSocketError(int error_code);
  EMvSockSocketError(int error_code, std::string message)
      : EMvSockException(std::move(message)), error_code_(error_code) {}
  int ErrorCode() const noexcept { return error_code_; }
  const char* ClassName() const noexcept override { return "EMvSockSocketError"; }

 private:
  int error_code_;
};

// WinSock numbers the transport itself tests for.
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

// Raised by the OnStatus wrapping: a new exception of the class of `e` (for the transport's own
// classes; any other class is raised as the base Exception), whose message is the message of
// `e` followed by `suffix`.
[[noreturn]] void RaiseWithSuffix(const Exception& e, const std::string& suffix);

}  // namespace tavrik
