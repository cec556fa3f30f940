// Opening tables into a client's work areas and choosing among them: Use "0469", UseEx "0467",
// Alias "0530", WorkArea "0571", Select "0504", Close "0523" and the engine's Version "0618".
//
// The Use and UseEx layouts are in proto/MvUse.h. What the server makes of a Use request: the
// database alias names a data folder of [ALIASES], the table a plain file name in it; the
// password and turbo read are accepted (no table is encrypted, reading is always direct); the
// index name is a tag, or an index file beside the table whose first order is taken, and becomes
// the active order (blank: the natural order); the environment settings apply to this client
// only. In the reply, the key field of an entry is the field a plain or UPPER() key is made of;
// an entry is case-insensitive when its key holds "UPPER(", an expression when it holds "+", "("
// or "-"; no entry is primary or non-maintained (every order follows every change). A request
// that does not read (a password or name longer than its field shifts every field after it) gets
// the empty failure reply.
//
// Error codes; the table is not open after any of them, and the current work area is 0:
//   1  the database alias is not configured
//   2  the table or index name is not a plain file name in the folder, or leads elsewhere
//   3  there is no such table
//   4  the engine could not open the table (locked exclusively, damaged, foreign ...)
//   5  the index name names no tag and no index file of the table
//   6  an environment setting is out of range
//   7  the session has MaxWorkAreas tables open already
//
// UseEx: the file is in the data folder of this client's last Use (the only configured alias
// when there was none). Reply: the work area, 4 hexadecimal digits; the current one stays.
// Alias: decimal work area; reply its alias, "" when nothing is open there.
// WorkArea: an alias; reply the decimal work area, 0 when none has it.
// Select: 4 hexadecimal digits; reply the work area current before, 4 hexadecimal digits.
// Close: closes the current work area's table (nothing when none); reply "Y".
// Version: reply the engine's version text.
#pragma once

#include "server/Dispatcher.h"
#include "server/ServerContext.h"

namespace tavrik::server {

// The context must outlive the dispatcher.
void RegisterUseCommands(TDispatcher& dispatcher, TServerContext& context);

}  // namespace tavrik::server
