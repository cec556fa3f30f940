// The batch read TraverseTable "0626": a client's request for the next records of its fetch
// cache, and the entries of the reply. What the entries are for each request is the server's
// business (server/TraverseTable.h).
//
// Request (21 characters):
//   OFFSET SIZE CONTENT
//   0      1    a move to the first record is pending: Y/N
//   1      1    a move to the last record is pending: Y/N
//   2      1    end-of-file action of the dataset, a digit
//   3      1    direction: 0 current, 1 next, 2 prior
//   4      1    direction of the previous fetch, a digit
//   5      8    fetch count, hexadecimal
//   13     8    the client's current record number, hexadecimal
//
// Reply:
//   OFFSET SIZE CONTENT
//   0      8    number of entries N, hexadecimal (at most the fetch count)
//   8      ...  N entries of 17 + record-size bytes, and nothing after them:
//     0    1    result: "0" a record, "1" the beginning of the table, "2" its end
//     1    8    record number, hexadecimal
//     9    8    position value the dataset keeps with the record, hexadecimal
//     17   rs   the raw record
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

struct TMvTraverseRequest {
  bool GoTop = false;         // a move to the first record is pending
  bool GoBottom = false;      // a move to the last record is pending
  int EofAction = 1;          // end-of-file action of the dataset
  int Direction = 0;          // 0 current, 1 next, 2 prior
  int PreviousDirection = 0;  // direction of the previous fetch
  int32_t FetchCount = 50;    // records wanted at most
  int32_t RecNo = 0;          // current record number
};

// One entry of a reply.
struct TMvFetchSlot {
  int Result = 0;  // 0 record delivered, 1 beginning of table, 2 end of table
  int32_t RecNo = 0;
  int32_t Position = 0;  // the second position value the dataset keeps with the record
  std::string Record;    // exactly the record size
};

constexpr int kFetchRecord = 0, kFetchBeginning = 1, kFetchEnd = 2;
constexpr size_t kMvTraverseRequestSize = 21;
constexpr size_t kMvFetchEntryHead = 17;

// Each raises EMvField: building for a code that is not one digit, reading for a request or reply
// that does not read as the layout above.
std::string BuildTraverseRequest(const TMvTraverseRequest& q);
TMvTraverseRequest ParseTraverseRequest(std::string_view payload);
// One entry, appended to the entries of a reply.
void AppendFetchEntry(std::string& entries, int result, uint32_t recno, uint32_t position, std::string_view record);
std::string BuildTraverseReply(uint32_t count, std::string_view entries);
// The entries of a reply for records of `record_size` bytes, at most `fetch_count` of them.
std::vector<TMvFetchSlot> DecodeTraverseReply(std::string_view reply, int record_size, int32_t fetch_count);

}  // namespace tavrik
