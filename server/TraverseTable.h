// TraverseTable "0626": a batch of records of the current work area for a client's fetch cache,
// walked in the active order and showing only what the work area shows (deleted records while
// they are hidden, the filter, the scope of the order).
//
// The request and reply layouts are in proto/MvTraverse.h; the server refuses a request with
// both pending moves, an end-of-file action above 1, a direction above 2 or a fetch count of 0.
//
// Where the walk starts (R is the client's record number, F its fetch count):
//   pending move to the first record, or R = 0         before the first record
//   pending move to the last record, or R > RecCount   after the last record
//   otherwise                                          on record R (visible or not)
//
// What the entries are (in the order delivered):
//   direction  start            entries
//   next       before the first the first records, forwards
//   next       on record R      the records after R, forwards
//   next       after the last   the end entry alone
//   prior      after the last   the last records, backwards
//   prior      on record R      the records before R, backwards
//   prior      before the first the beginning entry alone
//   current    before the first the first record (pending move) or the beginning entry (R = 0)
//   current    after the last   the last record (pending move) or the end entry (R > RecCount)
//   current    on record R      R when the work area shows it, else the end entry
// A forward walk that runs out of records before it has F entries adds the end entry, a backward
// one the beginning entry; an empty table gives that entry alone. A batch has at most F entries,
// and never more than fit in the server's MaxPayload. So walking from the first record with
// direction next, each batch from the record number of the last entry of the one before, gives
// every record exactly once and then the end entry; from the last record with direction prior
// the same backwards, ending with the beginning entry.
//
// Afterwards the work area stands on the last entry's record; after an end entry, at the end of
// file with end-of-file action 0, on the last record with action 1; after a beginning entry on
// the first record.
//
// Entries: a record has its record number and its key position (the record's ordinal in the
// active order, its scope included; the record number in the natural order); the beginning entry
// has record number 0, the end entry RecCount + 1, both position 0 and a blank record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "proto/MvTraverse.h"
#include "server/Dispatcher.h"
#include "server/ServerContext.h"
#include "xbase/WorkArea.h"

namespace tavrik::server {

// The reply for `request` on `area`, at most `max_reply` bytes long (one entry at least).
// ERefused for a request the table above does not cover.
std::string TraverseTable(xbase::TWorkArea& area, const TMvTraverseRequest& request, uint64_t max_reply);

void RegisterTraverseCommand(TDispatcher& dispatcher, TServerContext& context);

}  // namespace tavrik::server
