// The work-area command family: tables opened into a client's own numbered work areas on the
// xBase engine, and every command on them. Each logged-in session has one engine work-area set
// (server/WorkAreaSession.h); the sets of all sessions share the tables, index files and record
// locks, so two clients see each other's changes and are kept apart by locks.
//
// The commands, by file: UseCommands.h (opening, choosing, closing), RecordCommands.h (cursor,
// records, memo contents, locks), FieldCommands.h (fields, values, expressions, filters),
// OrderCommands.h (orders, seeks, scopes), SettingCommands.h (settings), TraverseTable.h (batch
// reads). Failures give the empty reply, as for every command; Use alone answers its failures
// in its own reply layout, so the client can show the reason.
#pragma once

#include "server/Dispatcher.h"
#include "server/ServerContext.h"

namespace tavrik::server {

// The context must outlive the dispatcher.
void RegisterWorkAreaCommands(TDispatcher& dispatcher, TServerContext& context);

}  // namespace tavrik::server
