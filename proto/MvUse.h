// Opening a table into a work area: the Use request "0469" and its reply, the table description,
// and the UseEx request "0467".
//
// Use request, in this order:
//   #   SIZE   CONTENT
//   1   255    database alias, blank-padded
//   2   255    table file name without directory, blank-padded
//   3   digit  open mode: 0 shared, 1 read-only, 2 exclusive
//   4   digit  table driver code
//   5   255    table password, blank-padded
//   6   1      turbo read Y/N
//   7   255    index name, blank-padded
//   8   4      epoch year, hexadecimal         | fields 8 to 14 are the environment settings,
//   9   4      date format code, hexadecimal   | applied before the table opens when field 16
//   10  4      memo block size, hexadecimal    | is "Y"
//   11  1      deleted records hidden Y/N      |
//   12  1      century Y/N                     |
//   13  1      soft seek Y/N                   |
//   14  1      exact match Y/N                 |
//   15  1      OEM translation Y/N
//   16  1      apply fields 8 to 14 Y/N
//   17  rest   commit level, decimal
//
// Use reply (numbers hexadecimal):
//   OFFSET  SIZE  CONTENT
//   0       4     work area (0 = not opened); it becomes the client's current work area
//   4       8     record count
//   12      8     field count
//   20      8     record size in bytes, deletion flag included
//   28      1     "Y" when the table is encrypted
//   29      255   condition of the active order, blank-padded (cut at 255)
//   284     4     active order number, 0 the natural order
//   288     4     number N of index entries
//   292     8     length L of the index block, N * 1026
//   300     L     the index entries (below)
//   300+L   8     error code: 0 opened, above 0 the table failed with the message
//   308+L   rest  error message
// Index entry:
//   OFFSET  SIZE  CONTENT
//   0       255   name          | each text blank-padded (cut at 255), read back without the
//   255     255   fields        | blanks at either end
//   510     255   source        |
//   765     255   expression    |
//   1020    6     flags, "1" = set: primary, unique, descending, case-insensitive, expression
//                 (the expression field counts only then), non-maintained
//
// UseEx request: pad255 file name + pad255 alias + open mode, table driver code and commit level,
// a digit each. Reply: the work area, 4 hexadecimal digits (read with blanks around it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

// What Use sends.
struct TMvUseParams {
  std::string DatabaseName;  // server-side database alias
  std::string TableName;     // file name without directory
  int OpenMode = 0;          // 2 exclusive, 1 read-only, 0 shared
  int TableType = 3;         // table driver code
  std::string Password;      // table password
  bool TurboRead = false;
  std::string IndexName;
  uint16_t Epoch = 1980;
  uint16_t DateFormat = 0;
  uint16_t MemoBlockSize = 0;
  bool Deleted = false;
  bool Century = true;
  bool SoftSeek = false;
  bool Exact = false;
  bool OEMTranslate = false;
  bool ApplyEnvironment = false;  // the server applies Epoch .. Exact
  int CommitLevel = 1;
};

// One index order of an opened table.
struct TMvIndexEntry {
  std::string Name;
  std::string Fields;
  std::string Source;
  std::string Expression;  // used only when IsExpression
  bool Primary = false;
  bool Unique = false;
  bool Descending = false;
  bool CaseInsensitive = false;
  bool IsExpression = false;
  bool NonMaintained = false;
};

// The table description of a Use reply.
struct TMvTableInfo {
  uint16_t WorkArea = 0;
  int32_t RecCount = 0;
  int32_t FieldCount = 0;
  int32_t RecordSize = 0;
  bool Encrypted = false;
  std::string IndexCondition;  // of the active order, trimmed
  int32_t IndexOrder = 0;      // the active order
  std::vector<TMvIndexEntry> Indexes;
  int32_t ErrorCode = 0;  // 0 success; above 0 the table must fail with ErrorMessage
  std::string ErrorMessage;
};

struct TMvUseExParams {
  std::string FileName;
  std::string Alias;
  int OpenMode = 0;
  int TableType = 3;
  int CommitLevel = 1;
};

constexpr size_t kMvIndexEntrySize = 1026;

// Each raises EMvField: building for a number that does not fit its field, reading for a
// request or reply that does not read as the layout above (a short one, lengths that disagree).
std::string BuildUseRequest(const TMvUseParams& p);
TMvUseParams ParseUseRequest(std::string_view payload);
std::string BuildUseReply(const TMvTableInfo& info);
TMvTableInfo DecodeUseReply(std::string_view reply);
std::string BuildUseExRequest(const TMvUseExParams& p);
TMvUseExParams ParseUseExRequest(std::string_view payload);

}  // namespace tavrik
