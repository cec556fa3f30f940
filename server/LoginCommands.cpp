#include "server/LoginCommands.h"

#include "net/MvScramble.h"
#include "server/LoginRecord.h"

namespace tavrik::server {

namespace {

std::string Who(const TLoginRecord& r) {
  return "machine " + Printable(r.machine_id, 40) + ", server " + Printable(r.server_name, 40) + ", group " +
         Printable(r.group_name, 40);
}

std::string Login(TServerContext& context, TSessionState& session, TRequest& request) {
  std::string tag = session.Tag();
  if (session.LoggedIn()) {
    context.log.Line(tag + "login again: the login of " + session.user + " ends");
    session.ticket.reset();
  }

  TLoginRecord r;
  try {
    r = ParseLoginRecord(Unscramble(request.payload));
  } catch (const ELoginRecord& e) {
    context.log.Line(tag + "login refused: " + e.Message());
    return "N Malformed login record";
  }
  auto refuse = [&](const std::string& reason) {
    context.log.Line(tag + "login refused for " + Printable(r.user, 40) + ": " + reason + " (" + Who(r) + ")");
    return "N " + reason;
  };
  if (r.compression) return refuse("Compression not supported");
  auto password = context.config.accounts.Find(r.user);
  if (!password || r.user.empty()) return refuse("Unknown user");
  if (*password != r.password) return refuse("Wrong password");
  auto ticket = context.users.TryTake();
  if (!ticket) return refuse("Too many users");

  session.ticket = std::move(ticket);
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
  session.ticket.reset();
  return "Y";
}

}  // namespace

void RegisterLoginCommands(TDispatcher& dispatcher, TServerContext& context) {
  TCommand login{"0464", "Login", [&context](TSessionState& s, TRequest& r) { return Login(context, s, r); }};
  login.needs_login = false;
  TCommand logout{"0465", "Logout", [&context](TSessionState& s, TRequest& r) { return Logout(context, s, r); }};
  logout.needs_login = false;
  dispatcher.Add(std::move(login));
  dispatcher.Add(std::move(logout));
}

}  // namespace tavrik::server
