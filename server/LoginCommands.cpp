#include "server/LoginCommands.h"

#include "proto/MvScramble.h"
#include "proto/MvLogin.h"

namespace tavrik::server {

namespace {

std::string Who(const TLoginRecord& r) {
  return "machine " + Printable(r.machine_id, 40) + ", server " + Printable(r.server_name, 40) + ", group " +
         Printable(r.group_name, 40);
}

// The end of a login: its slot, its tables and its record locks.
void EndLogin(TSessionState& session) {
  session.ticket.reset();
  session.ReleaseExtensions();
}

// A refusal that may be a guess: answered late, and the connection ends after a few.
std::string Refused(TServerContext& context, TSessionState& session, const std::string& reply) {
  const TServerConfig& c = context.config;
  session.reply_delay = c.login_delay;
  if (++session.refused_logins >= c.max_login_failures) {
    session.end_after_reply = std::to_string(session.refused_logins) + " refused logins";
    context.log.Line(session.Tag() + "closing after " + session.end_after_reply);
  }
  return reply;
}

std::string Login(TServerContext& context, TSessionState& session, TRequest& request) {
  std::string tag = session.Tag();
  if (session.LoggedIn()) {
    context.log.Line(tag + "login again: the login of " + session.user + " ends");
    EndLogin(session);
  }

  TLoginRecord r;
  try {
    r = ParseLoginRecord(Unscramble(request.payload));
  } catch (const ELoginRecord& e) {
    context.log.Line(tag + "login refused: " + e.Message());
    return Refused(context, session, "N Malformed login record");
  }
  auto log = [&](const std::string& reason) {
    context.log.Line(tag + "login refused for " + Printable(r.user, 40) + ": " + reason + " (" + Who(r) + ")");
  };
  auto refuse = [&](const std::string& reason, const std::string& told) {
    log(reason);
    return Refused(context, session, "N " + told);
  };
  if (r.compression) return refuse("Compression not supported", "Compression not supported");
  auto password = context.config.accounts.Find(r.user);
  if (!password || r.user.empty()) return refuse("Unknown user", "Unknown user or wrong password");
  if (*password != r.password) return refuse("Wrong password", "Unknown user or wrong password");
  auto ticket = context.users.TryTake();
  if (!ticket) {
    log("Too many users");
    return "N Too many users";
  }

  session.ticket = std::move(ticket);
  session.refused_logins = 0;
  session.user = r.user;
  session.machine_id = r.machine_id;
  session.server_name = r.server_name;
  session.group_name = r.group_name;
  context.log.Line(tag + "login " + Printable(r.user, 40) + " accepted (" + Who(r) + ")");
  return "Y";
}

std::string Logout(TServerContext& context, TSessionState& session, TRequest&) {
  std::string tag = session.Tag();
  if (!session.LoggedIn()) {
    context.log.Detail(tag + "logout without a login");
    return "N";
  }
  context.log.Line(tag + "logout " + Printable(session.user, 40));
  EndLogin(session);
  return "Y";
}

}  // namespace

void RegisterLoginCommands(TDispatcher& dispatcher, TServerContext& context) {
  dispatcher.Add(TCommand::Of(
      mvcmd::Login, [&context](TSessionState& s, TRequest& r) { return Login(context, s, r); }, false));
  dispatcher.Add(TCommand::Of(
      mvcmd::Logout, [&context](TSessionState& s, TRequest& r) { return Logout(context, s, r); }, false));
}

}  // namespace tavrik::server
