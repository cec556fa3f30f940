// TraverseTable "0626": a batch of records of the current work area for a client's fetch cache,
// walked in the active order and showing only what the work area shows (deleted records while
// they are hidden, the filter, the scope of the order).
//
// Request (21 characters):
//   OFFSET SIZE CONTENT
//   0      1    a move to the first record is pending: Y/N
//   1      1    a move to the last record is pending: Y/N (not both)
//   2      1    end-of-file action: 0 stay at the end, 1 move to the last record
//   3      1    direction: 0 current, 1 next, 2 prior
//   4      1    direction of the previous fetch, 0..2 (checked; the record number alone says
//               where the client stands, so it plays no other part)
//   5      8    fetch count F, hexadecimal, at least 1
//   13     8    the client's current record number R, hexadecimal
//
// Where the walk starts:
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
// Reply:
//   OFFSET SIZE CONTENT
//   0      8    number of entries N, hexadecimal
//   8      ...  N entries of 17 + record-size bytes:
//     0    1    result: "0" a record, "1" the beginning entry, "2" the end entry
//     1    8    record number, hexadecimal: 0 in the beginning entry, RecCount + 1 in the end one
//     9    8    key position, hexadecimal: the record's ordinal in the active order (its scope
//               included; the record number in the natural order); 0 in the two marker entries
//     17   rs   the record image; blanks in the marker entries
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "server/Dispatcher.h"
#include "server/ServerContext.h"
#include "xbase/WorkArea.h"

namespace tavrik::server {

struct TTraverseRequest {
  bool go_top = false;
  bool go_bottom = false;
  int eof_action = 0;  // 0 stay at the end, 1 move to the last record
  int direction = 0;   // 0 current, 1 next, 2 prior
  int previous = 0;
  uint32_t fetch_count = 1;
  uint32_t recno = 0;
};

constexpr size_t kTraverseRequestSize = 21;

// ERefused for a request that does not read as the table above says.
TTraverseRequest ParseTraverseRequest(std::string_view payload);

// The reply for `request` on `area`, at most `max_reply` bytes long (one entry at least).
std::string TraverseTable(xbase::TWorkArea& area, const TTraverseRequest& request, uint64_t max_reply);

void RegisterTraverseCommand(TDispatcher& dispatcher, TServerContext& context);

}  // namespace tavrik::server
