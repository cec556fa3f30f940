// The errors of the socket transport. They speak the WinSock numbering of the platform layer, so
// that every message reads the same on every platform ("Socket Error #10061" CR LF
// "Connection refused.").
#pragma once

#include <string>

#include "core/Exception.h"
#include "platform/WinSockErrors.h"

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

using platform::kWsaConnReset;
using platform::kWsaShutdown;
using platform::kWsaTimedOut;
using platform::SocketErrorMessage;
using platform::WinSockErrorFromErrno;
using platform::WinSockErrorFromResolver;
using platform::WinSockErrorText;

// Raised by the OnStatus wrapping: a new exception of the class of `e` (for the transport's own
// classes; any other class is raised as the base Exception), whose message is the message of
// `e` followed by `suffix`.
[[noreturn]] void RaiseWithSuffix(const Exception& e, const std::string& suffix);

}  // namespace tavrik
