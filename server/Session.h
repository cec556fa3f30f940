// One client connection: reads request frames, checks each header and the payload length
// against the limits before reading a byte of the payload, dispatches, and writes the reply.
// Replies and server notices share the socket under one write lock, so a notice never lands
// inside a reply on the wire.
//
// A malformed header, a payload longer than allowed, a close or a silence longer than
// IdleTimeout (between frames or inside one) ends the connection with a log line. Everything
// else gets a reply and the connection goes on: a compressed payload ("0001" pack flag), a
// command before login, an unknown command, or a refusal by the handler get the failure reply
// (an empty payload), after the payload has been read and dropped.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "server/Channel.h"
#include "server/Dispatcher.h"
#include "server/ServerContext.h"

namespace tavrik::server {

class TSession {
 public:
  // The context and the dispatcher must outlive the session.
  TSession(TServerContext& context, const TDispatcher& dispatcher, std::unique_ptr<TChannel> channel,
           uint64_t id, std::string peer);

  // Serves the client until it leaves or is dropped; never raises. Logs the end.
  void Run();

  // From any thread. False when the client could not be written to (it is then dropped).
  bool SendNotice(std::string_view code, std::string_view payload);
  // "0302" to the client, then the end of our sending side: the client reads the notice, then
  // the end of the stream.
  void SendShutdown();
  // Ends the connection now; Run returns soon after.
  void Abort();

  uint64_t Id() const { return id_; }
  // "#3 127.0.0.1:5555 PORTAL (machine 1234, server S, group G)" or "... not logged in".
  std::string Describe() const;

 private:
  void Serve();
  void Handle(const TCommand* command, TRequest& request, TPayloadReader& body);
  void Reply(std::string_view payload);
  void SendFrame(std::string_view code, std::string_view payload);
  std::string Tag() const { return state_.Tag(); }

  TServerContext& context_;
  const TDispatcher& dispatcher_;
  std::unique_ptr<TChannel> channel_;
  const uint64_t id_;
  TSessionState state_;
  std::mutex write_mutex_;
  std::atomic<bool> shutting_down_{false};
  mutable std::mutex describe_mutex_;  // guards the copy of the login that Describe reads
  std::string login_summary_;
};

}  // namespace tavrik::server
