#include "server/Session.h"

#include <utility>

#include "proto/MvFields.h"
#include "proto/MvFrame.h"

namespace tavrik::server {

namespace {
std::string Millis(std::chrono::milliseconds ms) { return std::to_string(ms.count()) + " ms"; }
}  // namespace

TSession::TSession(TServerContext& context, const TDispatcher& dispatcher, std::unique_ptr<TChannel> channel,
                   uint64_t id, std::string peer)
    : context_(context), dispatcher_(dispatcher), channel_(std::move(channel)), id_(id) {
  state_.id = id;
  state_.peer = std::move(peer);
}

TSession::~TSession() {
  if (notifier_.joinable()) {
    {
      std::lock_guard lock(notice_mutex_);
      over_ = true;
    }
    notice_changed_.notify_all();
    channel_->Abort();
    notifier_.join();
  }
}

void TSession::Run() {
  context_.log.Line(Tag() + "connected from " + state_.peer);
  notifier_ = std::thread([this] { DeliverNotices(); });
  std::string end = "closed by the client";
  try {
    Serve();
  } catch (const EClientGone& e) {
    end = shutting_down_ ? "closed at shutdown" : "dropped: " + e.Message();
  } catch (const std::exception& e) {
    end = std::string("dropped after an internal error: ") + e.what();
  }
  {
    std::lock_guard lock(notice_mutex_);
    over_ = true;
    notices_.clear();
    // A connection the server ended itself reads as closed from here; the reason is the news.
    if (!ended_by_.empty() && !shutting_down_) end = "dropped: " + ended_by_;
  }
  notice_changed_.notify_all();
  if (shutting_down_ && end == "closed by the client") end = "closed at shutdown";
  std::string who = state_.LoggedIn() ? " (" + Printable(state_.user, 40) + ")" : "";
  state_.ticket.reset();
  logged_in_ = false;
  try {
    state_.ReleaseExtensions();
  } catch (const std::exception& e) {
    end += std::string(" (closing its tables: ") + e.what() + ")";
  }
  channel_->Abort();  // the client sees the end now, not when the server next tidies up
  notifier_.join();
  context_.log.Line(Tag() + end + who);
}

void TSession::Serve() {
  const TServerConfig& c = context_.config;
  TFrameReader frames(*channel_);
  const TClock::time_point login_deadline = connected_ + c.login_timeout;
  std::string header;
  for (;;) {
    // Before a login the connection as a whole has a deadline; after it, the silence between
    // requests has a bound.
    const bool logged_in = state_.LoggedIn();
    const auto wait = logged_in ? c.idle_timeout
                                : std::chrono::duration_cast<std::chrono::milliseconds>(login_deadline - TClock::now());
    try {
      if (!frames.AwaitFrame(wait)) return;
    } catch (const EClientTimeout&) {
      throw EClientGone(logged_in ? "silent for " + Millis(c.idle_timeout)
                                  : "not logged in within " + Millis(c.login_timeout));
    }
    frames.ReadHeader(header, c.frame_timeout);
    auto h = ParseRequestHeader(header);
    if (!h) throw EClientGone("malformed frame header \"" + Printable(header) + "\"");

    const TCommand* command = dispatcher_.Find(h->code);
    bool allowed = !h->packed && command && (!command->needs_login || logged_in);
    // A client that is not logged in never gets more than a login needs.
    uint64_t limit = !logged_in                            ? kMaxLoginPayload
                     : allowed && command->max_payload ? command->max_payload
                                                           : c.max_payload;
    if (h->payload_length > limit)
      throw EClientGone(h->code + " claims " + std::to_string(h->payload_length) + " payload bytes, more than " +
                        std::to_string(limit));

    TPayloadReader body(frames, h->payload_length);
    TRequest request;
    request.code = h->code;
    request.length = h->payload_length;
    if (allowed) {
      if (command->streamed) frames.StreamPayload();
      Handle(command, request, body);
      continue;
    }
    body.Skip();
    std::string why = "unknown command";
    if (h->packed)
      why = "compressed payloads are not supported";
    else if ((!command || command->needs_login) && !logged_in)
      why = "not logged in";
    context_.log.Line(Tag() + h->code + " refused: " + why);
    if (IsAnswered(h->code)) Reply("");
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
  } catch (const EMvField& e) {
    failure = "refused: " + e.Message();
  } catch (const std::exception& e) {
    failure = std::string("failed: ") + e.what();
  }
  body.Skip();  // what a streamed handler left, or the rest of a refused upload
  logged_in_ = state_.LoggedIn();
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
  const auto delay = std::exchange(state_.reply_delay, std::chrono::milliseconds(0));
  const std::string end = std::exchange(state_.end_after_reply, std::string());
  if (delay.count() > 0) Pause(delay);
  if (IsAnswered(request.code)) Reply(reply);
  if (!end.empty()) throw EClientGone(end);
}

void TSession::Pause(std::chrono::milliseconds delay) {
  std::unique_lock lock(notice_mutex_);
  notice_changed_.wait_for(lock, delay, [this] { return over_ || !ended_by_.empty() || shutting_down_; });
}

void TSession::Reply(std::string_view payload) { SendFrame(kReplyCode, payload); }

void TSession::SendFrame(std::string_view code, std::string_view payload) {
  std::string frame = BuildReplyHeader(static_cast<uint32_t>(payload.size()), code);
  frame.append(payload);
  std::lock_guard lock(write_mutex_);
  channel_->WriteAll(frame.data(), frame.size(), context_.config.frame_timeout);
}

bool TSession::Queue(TNotice notice) {
  {
    std::lock_guard lock(notice_mutex_);
    if (over_) return false;
    notices_.push_back(std::move(notice));
  }
  notice_changed_.notify_all();
  return true;
}

bool TSession::SendNotice(std::string_view code, std::string_view payload) {
  return Queue({std::string(code), std::string(payload)});
}

void TSession::DeliverNotices() {
  for (;;) {
    TNotice notice;
    {
      std::unique_lock lock(notice_mutex_);
      notice_changed_.wait(lock, [this] { return over_ || !notices_.empty(); });
      if (over_) return;
      notice = std::move(notices_.front());
      notices_.pop_front();
    }
    try {
      SendFrame(notice.code, notice.payload);
      if (notice.last) {
        std::lock_guard lock(write_mutex_);
        channel_->CloseWrite();
      }
    } catch (const EClientGone& e) {
      {
        std::lock_guard lock(notice_mutex_);
        if (over_) return;  // the session ended first, and said why
      }
      context_.log.Line(Tag() + "notice " + notice.code + " not delivered: " + e.Message());
      EndWith("notice " + notice.code + " not delivered: " + e.Message());
      return;
    }
  }
}

void TSession::EndWith(const std::string& reason) {
  {
    std::lock_guard lock(notice_mutex_);
    if (ended_by_.empty()) ended_by_ = reason;
  }
  notice_changed_.notify_all();
  channel_->Abort();
}

void TSession::SendShutdown() {
  shutting_down_ = true;  // Queue wakes a refused login that waits to be answered
  Queue({kNoticeShutdown, "", true});
}

void TSession::Abort() {
  {
    std::lock_guard lock(notice_mutex_);  // so that a pause cannot miss the news
    shutting_down_ = true;
  }
  notice_changed_.notify_all();
  channel_->Abort();
}

bool TSession::Displace() {
  if (logged_in_) return false;
  EndWith("displaced by a new connection before logging in");
  return true;
}

std::string TSession::Describe() const {
  std::lock_guard lock(describe_mutex_);
  return Tag() + state_.peer + " " + (login_summary_.empty() ? "not logged in" : login_summary_);
}

}  // namespace tavrik::server
