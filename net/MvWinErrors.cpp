#include "net/MvWinErrors.h"

namespace tavrik {

EMvSockSocketError::EMvSockSocketError(int error_code)
    : EMvSockException(SocketErrorMessage(error_code)), error_code_(error_code) {}

void RaiseWithSuffix(const Exception& e, const std::string& suffix) {
  const std::string message = e.Message() + suffix;
  // Most derived classes first, so each lands on its own class.
  if (auto* s = dynamic_cast<const EMvSockSocketError*>(&e)) throw EMvSockSocketError(s->ErrorCode(), message);
  if (dynamic_cast<const EMvSockInvalidSocket*>(&e)) throw EMvSockInvalidSocket(message);
  if (dynamic_cast<const EMvSockAlreadyConnected*>(&e)) throw EMvSockAlreadyConnected(message);
  if (dynamic_cast<const EMvSockClosedSocket*>(&e)) throw EMvSockClosedSocket(message);
  if (dynamic_cast<const EMvSockConnClosedGraceful*>(&e)) throw EMvSockConnClosedGraceful(message);
  if (dynamic_cast<const EMvSockResponseError*>(&e)) throw EMvSockResponseError(message);
  if (dynamic_cast<const EMvSockException*>(&e)) throw EMvSockException(message);
  throw Exception(message);
}

}  // namespace tavrik
