#include "server/Session.h"

#include "net/MvFrame.h"

namespace tavrik::server {

TSession::TSession(TServerContext& context, const TDispatcher& dispatcher, std::unique_ptr<TChannel> channel,
                   uint64_t id, std::string peer)
    : context_(context), dispatcher_(dispatcher), channel_(std::move(channel)), id_(id) {
  state_.id = id;
  state_.peer = std::move(peer);
}

void TSession::Run() {
  context_.log.Line(Tag() + "connected from " + state_.peer);
  std::string end = "closed by the client";
  try {
    Serve();
  } catch (const EClientGone& e) {
    end = shutting_down_ ? "closed at shutdown" : "dropped: " + e.Message();
  } catch (const std::exception& e) {
    end = std::string("dropped after an internal error: ") + e.what();
  }
  if (shutting_down_ && end == "closed by the client") end = "closed at shutdown";
  std::string who = state_.LoggedIn() ? " (" + Printable(state_.user, 40) + ")" : "";
  state_.ticket.reset();
  try {
    state_.ReleaseExtensions();
  } catch (const std::exception& e) {
    end += std::string(" (closing its tables: ") + e.what() + ")";
  }
  channel_->Abort();  // the client sees the end now, not when the server next tidies up
  context_.log.Line(Tag() + end + who);
}

void TSession::Serve() {
  TFrameReader frames(*channel_, context_.config.idle_timeout);
  std::string header;
  while (frames.ReadHeader(header)) {
    auto h = ParseRequestHeader(header);
    if (!h) throw EClientGone("malformed frame header \"" + Printable(header) + "\"");

    const TCommand* command = dispatcher_.Find(h->code);
    bool allowed = !h->packed && command && (!command->needs_login || state_.LoggedIn());
    // A client that is not logged in never gets the larger upload limit.
    uint64_t limit = allowed && command->max_payload ? command->max_payload : context_.config.max_payload;
    if (h->payload_length > limit)
      throw EClientGone(h->code + " claims " + std::to_string(h->payload_length) + " payload bytes, more than " +
                        std::to_string(limit));

    TPayloadReader body(frames, h->payload_length);
    TRequest request;
    request.code = h->code;
    request.length = h->payload_length;
    if (allowed) {
      Handle(command, request, body);
      continue;
    }
    body.Skip();
    std::string why = "unknown command";
    if (h->packed)
      why = "compressed payloads are not supported";
    else if ((!command || command->needs_login) && !state_.LoggedIn())
      why = "not logged in";
    context_.log.Line(Tag() + h->code + " refused: " + why);
    if (!TDispatcher::IsNoReplyCode(h->code)) Reply("");
  }
}

void TSession::Handle(const TCommand* command, TRequest& request, TPayloadReader& body) {
  std::string reply;
  std::string failure;
  try {
    if (command->streamed)
      request.body = &body;
    else
      request.payload = body.ReadAll();
    reply = command->handler(state_, request);
  } catch (const EClientGone&) {
    throw;
  } catch (const ERefused& e) {
    failure = "refused: " + e.Message();
  } catch (const ERequestTooShort& e) {
    failure = "refused: " + e.Message();
  } catch (const std::exception& e) {
    failure = std::string("failed: ") + e.what();
  }
  body.Skip();  // what a streamed handler left, or the rest of a refused upload
  {
    std::lock_guard lock(describe_mutex_);
    login_summary_ = state_.LoggedIn() ? Printable(state_.user, 40) + " (machine " + Printable(state_.machine_id, 40) +
                                             ", server " + Printable(state_.server_name, 40) + ", group " +
                                             Printable(state_.group_name, 40) + ")"
                                       : std::string();
  }
  if (!failure.empty()) {
    context_.log.Line(Tag() + request.code + " " + command->name + " " + failure);
    reply.clear();
  } else {
    context_.log.Detail(Tag() + request.code + " " + command->name + ", " + std::to_string(request.length) +
                        " bytes in, reply \"" + Printable(reply, 40) + "\"");
  }
  if (!TDispatcher::IsNoReplyCode(request.code)) Reply(reply);
}

void TSession::Reply(std::string_view payload) { SendFrame(kReplyCode, payload); }

void TSession::SendFrame(std::string_view code, std::string_view payload) {
  std::string frame = BuildReplyHeader(static_cast<uint32_t>(payload.size()), code);
  frame.append(payload);
  std::lock_guard lock(write_mutex_);
  channel_->WriteAll(frame.data(), frame.size(), context_.config.idle_timeout);
}

bool TSession::SendNotice(std::string_view code, std::string_view payload) {
  try {
    SendFrame(code, payload);
    return true;
  } catch (const EClientGone& e) {
    context_.log.Line(Tag() + "notice " + std::string(code) + " not delivered: " + e.Message());
    channel_->Abort();
    return false;
  }
}

void TSession::SendShutdown() {
  shutting_down_ = true;
  if (SendNotice(kNoticeShutdown, "")) {
    std::lock_guard lock(write_mutex_);
    channel_->CloseWrite();
  }
}

void TSession::Abort() {
  shutting_down_ = true;
  channel_->Abort();
}

std::string TSession::Describe() const {
  std::lock_guard lock(describe_mutex_);
  return Tag() + state_.peer + " " + (login_summary_.empty() ? "not logged in" : login_summary_);
}

}  // namespace tavrik::server
