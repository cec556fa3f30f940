// Login "0464" and logout "0465", the two commands a client may send before it is logged in.
//
// "0464": payload the scrambled login record (proto/MvLogin.h). Reply "Y" when the user
// and password match an account and a MaxUsers slot is free; otherwise "N" followed by a blank
// and the reason, which the client shows: "Unknown user or wrong password" (the log says which:
// a guesser is not told that a name exists), "Too many users", "Malformed login record",
// "Compression not supported". A refusal other than "Too many users" is answered only after
// LoginDelay, and MaxLoginFailures of them end the connection, so that passwords cannot be
// guessed quickly. A second login on the same connection ends the first, with its work areas.
// "0465": payload the user name padded to 10 characters (not checked: the connection is the
// login). Reply "Y" when a login ended, "N" when there was none (a client sends it after a
// refused login as well). The login's tables close and its record locks go with it.
#pragma once

#include "server/Dispatcher.h"
#include "server/ServerContext.h"

namespace tavrik::server {

// The context must outlive the dispatcher.
void RegisterLoginCommands(TDispatcher& dispatcher, TServerContext& context);

}  // namespace tavrik::server
