// The command table of the server: each command of the protocol's catalogue (proto/MvCommands.h)
// maps to a handler, and the session looks the code up for every frame. Each command family registers its own rows
// (RegisterLoginCommands, RegisterFileCommands, and so on), so new families drop in without
// touching the session.
//
// A handler receives the session's state and the request and returns the reply payload, which
// the session frames with the reply code kReplyCode. A handler that cannot serve a request raises
// (ERefused or the protocol's EMvField for a refusal, any Exception for a failure): the session logs the message, drops
// what is left of the payload, and answers with an empty payload, which every client command
// decodes as its failure (no text, false, no number, no stream).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <typeindex>

#include "core/Exception.h"
#include "proto/MvCommands.h"
#include "server/FrameReader.h"
#include "server/UserSlots.h"

namespace tavrik::server {

// The request cannot be served; the message goes to the log, the client gets the failure reply.
TAVRIK_EXCEPTION(ERefused, Exception);

// What the server keeps for one client connection, for as long as the connection lasts.
// Only the session's own thread touches it.
class TSessionState {
 public:
  uint64_t id = 0;
  std::string peer;  // "127.0.0.1:54321"

  // The login, from the login record; `ticket` holds a MaxUsers slot while logged in.
  std::unique_ptr<TUserSlots::TTicket> ticket;
  std::string user, machine_id, server_name, group_name;
  bool LoggedIn() const { return ticket != nullptr; }
  int refused_logins = 0;

  // Set by a handler for the reply it returns: a pause before it goes out, and a reason to end
  // the connection after it ("" = the connection goes on). The session resets both.
  std::chrono::milliseconds reply_delay{0};
  std::string end_after_reply;
  // "#3 ", the prefix of this session's log lines.
  std::string Tag() const {
    std::string tag = "#";
    tag += std::to_string(id);
    tag += ' ';
    return tag;
  }

  // Per-session state of a command family (the work areas of the open tables, say), made on
  // first use and destroyed with the session: `state.Extension<TWorkAreas>()`.
  template <class T>
  T& Extension() {
    auto& slot = extensions_[std::type_index(typeid(T))];
    if (!slot) slot = std::make_shared<T>();
    return *static_cast<T*>(slot.get());
  }
  // Destroys every extension now (their tables close and their locks go), rather than when the
  // server next tidies up finished sessions.
  void ReleaseExtensions() { extensions_.clear(); }

 private:
  std::map<std::type_index, std::shared_ptr<void>> extensions_;
};

struct TRequest {
  std::string code;
  uint64_t length = 0;          // payload bytes the header declared
  std::string payload;          // buffered commands: the whole payload
  TPayloadReader* body = nullptr;  // streamed commands: the payload, still on the wire
};

using TCommandHandler = std::function<std::string(TSessionState& session, TRequest& request)>;

struct TCommand {
  std::string code;  // four decimal digits
  std::string name;  // for the log: "FileExists"
  TCommandHandler handler;
  // The catalogue's entry under its code and name, logged in or not.
  static TCommand Of(const TMvCommand& c, TCommandHandler handler, bool needs_login = true) {
    return {c.code, c.name, std::move(handler), needs_login};
  }
  bool needs_login = true;
  // A streamed handler reads the payload itself from `request.body` (and need not read all of
  // it: the session drops the rest); otherwise the session reads it into `request.payload`.
  bool streamed = false;
  uint64_t max_payload = 0;  // longest payload; 0 = the server's MaxPayload
};

TAVRIK_EXCEPTION(EDispatcher, Exception);

class TDispatcher {
 public:
  // Raises EDispatcher for a code that is not four digits or is taken already.
  void Add(TCommand command);
  const TCommand* Find(std::string_view code) const;

 private:
  std::map<std::string, TCommand, std::less<>> commands_;
};

}  // namespace tavrik::server
