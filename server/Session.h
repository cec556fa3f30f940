// One client connection: reads request frames, checks each header and the payload length
// against the limits before reading a byte of the payload, dispatches, and writes the reply.
// Replies and server notices share the socket under one write lock, so a notice never lands
// inside a reply on the wire.
//
// Time limits (server/Config.h): a connection has LoginTimeout to log in, every request
// FrameTimeout from its first byte to its last, and a logged-in client may stay silent for
// IdleTimeout between requests. Before a login no payload may exceed kMaxLoginPayload.
//
// A malformed header, a payload longer than allowed, a close or a broken time limit ends the
// connection with a log line. Everything else gets a reply and the connection goes on: a
// compressed payload ("0001" pack flag), a command before login, an unknown command, or a refusal
// by the handler get the failure reply (an empty payload), after the payload has been read and
// dropped.
//
// Notices go out from a thread of the session's own, in the order given, so a client that stops
// reading holds up nobody but itself.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "server/Channel.h"
#include "server/Dispatcher.h"
#include "server/ServerContext.h"

namespace tavrik::server {

class TSession {
 public:
  // The context and the dispatcher must outlive the session.
  TSession(TServerContext& context, const TDispatcher& dispatcher, std::unique_ptr<TChannel> channel,
           uint64_t id, std::string peer);
  ~TSession();

  // Serves the client until it leaves or is dropped; never raises. Logs the end.
  void Run();

  // From any thread, without waiting: the notice goes out after what is queued before it. False
  // when the session is over.
  bool SendNotice(std::string_view code, std::string_view payload);
  // "0302" to the client, then the end of our sending side: the client reads the notice, then
  // the end of the stream.
  void SendShutdown();
  // Ends the connection now; Run returns soon after.
  void Abort();
  // Ends a connection that has not logged in, to make room for a new one; false when it has
  // logged in meanwhile.
  bool Displace();
  bool LoggedIn() const { return logged_in_; }

  uint64_t Id() const { return id_; }
  // "#3 127.0.0.1:5555 PORTAL (machine 1234, server S, group G)" or "... not logged in".
  std::string Describe() const;

 private:
  using TClock = std::chrono::steady_clock;
  struct TNotice {
    std::string code;
    std::string payload;
    bool last = false;  // our sending side ends after it
  };

  void Serve();
  void Handle(const TCommand* command, TRequest& request, TPayloadReader& body);
  void Reply(std::string_view payload);
  void SendFrame(std::string_view code, std::string_view payload);
  bool Queue(TNotice notice);
  void DeliverNotices();
  // Waits `delay` unless the connection is ended first.
  void Pause(std::chrono::milliseconds delay);
  void EndWith(const std::string& reason);
  std::string Tag() const { return state_.Tag(); }

  TServerContext& context_;
  const TDispatcher& dispatcher_;
  std::unique_ptr<TChannel> channel_;
  const uint64_t id_;
  const TClock::time_point connected_ = TClock::now();
  TSessionState state_;
  std::mutex write_mutex_;
  std::atomic<bool> shutting_down_{false};
  std::atomic<bool> logged_in_{false};
  mutable std::mutex describe_mutex_;  // guards the copy of the login that Describe reads
  std::string login_summary_;

  std::mutex notice_mutex_;  // guards the queue, `over_`, `ended_by_` and `gone_`
  std::condition_variable notice_changed_;
  std::deque<TNotice> notices_;
  bool over_ = false;
  std::string ended_by_;  // why the server ended the connection, when it did
  std::thread notifier_;
};

}  // namespace tavrik::server
