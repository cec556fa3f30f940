// Opening tables into a client's work areas and choosing among them: Use "0469", UseEx "0467",
// Alias "0530", WorkArea "0571", Select "0504", Close "0523" and the engine's Version "0618".
//
// Use request (numbers decimal unless said otherwise):
//   #   SIZE  CONTENT
//   1   255   database alias, blank-padded: names the data folder in [ALIASES]
//   2   255   table file name, blank-padded: a plain name in that folder
//   3   1     open mode: 0 shared, 1 read-only, 2 exclusive
//   4   1     table driver code 1..4
//   5   255   table password, blank-padded (no table is encrypted; accepted)
//   6   1     turbo read Y/N (accepted; reading is always direct)
//   7   255   index name, blank-padded: a tag, or an index file beside the table whose first
//             order is taken; it becomes the active order. Blank: the natural order
//   8   4     epoch year, hexadecimal        | fields 8 to 14 are applied before the
//   9   4     date format code, hexadecimal  | table opens, and only when field 16 is
//   10  4     memo block size, hexadecimal   | "Y"
//   11  1     deleted records hidden Y/N     |
//   12  1     century Y/N                    |
//   13  1     soft seek Y/N                  |
//   14  1     exact match Y/N                |
//   15  1     OEM translation Y/N
//   16  1     apply fields 8 to 14 Y/N
//   17  rest  commit level: 0 full, 1 normal, 2 none
// A record that does not read this way (a password or name longer than its field shifts every
// field after it) gets the empty failure reply. Settings apply to this client only.
//
// Use reply (numbers upper-case hexadecimal):
//   OFFSET  SIZE  CONTENT
//   0       4     work area, 0 when the table was not opened; it becomes the current one
//   4       8     record count
//   12      8     field count
//   20      8     record size in bytes, deletion flag included
//   28      1     "N": no table is encrypted
//   29      255   condition of the active order, blank-padded (cut at 255)
//   284     4     active order number, 0 the natural order
//   288     4     number N of index entries, one per order of the table
//   292     8     length L of the index block, N * 1026
//   300     L     the index entries (below), in order number
//   300+L   8     error code: 0 opened, else one of the codes below
//   308+L   rest  error message, empty when opened
// Index entry:
//   OFFSET  SIZE  CONTENT
//   0       255   tag name, blank-padded
//   255     255   key field: the field a plain or UPPER() key is made of, else blank
//   510     255   index file name (without the server's folder)
//   765     255   key expression (cut at 255; IndexKey gives it whole)
//   1020    1     primary: always "0"
//   1021    1     unique "1" / "0"
//   1022    1     descending
//   1023    1     case-insensitive: the key holds "UPPER("
//   1024    1     expression: the key holds "+", "(" or "-"
//   1025    1     non-maintained: always "0", every order follows every change
// Error codes; the table is not open after any of them, and the current work area is 0:
//   1  the database alias is not configured
//   2  the table or index name is not a plain file name in the folder, or leads elsewhere
//   3  there is no such table
//   4  the engine could not open the table (locked exclusively, damaged, foreign ...)
//   5  the index name names no tag and no index file of the table
//   6  an environment setting is out of range
//   7  the session has MaxWorkAreas tables open already
//
// UseEx: pad255 file name + pad255 alias + open mode, table driver code and commit level, one
// digit each. The file is in the data folder of this client's last Use (the only configured
// alias when there was none). Reply: the work area, 4 hexadecimal digits; the current one stays.
// Alias: decimal work area; reply its alias, "" when nothing is open there.
// WorkArea: an alias; reply the decimal work area, 0 when none has it.
// Select: 4 hexadecimal digits; reply the work area current before, 4 hexadecimal digits.
// Close: closes the current work area's table (nothing when none); reply "Y".
// Version: reply the engine's version text.
#pragma once

#include "server/Dispatcher.h"
#include "server/ServerContext.h"

namespace tavrik::server {

constexpr size_t kIndexEntrySize = 1026;

// The context must outlive the dispatcher.
void RegisterUseCommands(TDispatcher& dispatcher, TServerContext& context);

}  // namespace tavrik::server
