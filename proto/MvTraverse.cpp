#include "proto/MvTraverse.h"

#include "proto/MvFields.h"

namespace tavrik {

using namespace mvproto;

std::string BuildTraverseRequest(const TMvTraverseRequest& q) {
  return YN(q.GoTop) + YN(q.GoBottom) + Digit(q.EofAction, "TraverseTable end-of-file action") +
         Digit(q.Direction, "TraverseTable direction") + Digit(q.PreviousDirection, "TraverseTable previous direction") +
         Hex(q.FetchCount, 8) + Hex(q.RecNo, 8);
}

TMvTraverseRequest ParseTraverseRequest(std::string_view payload) {
  if (payload.size() != kMvTraverseRequestSize)
    throw EMvField("TraverseTable request of " + std::to_string(payload.size()) + " bytes, not " +
                   std::to_string(kMvTraverseRequestSize));
  TFieldReader f(payload);
  TMvTraverseRequest q;
  q.GoTop = f.YN("TraverseTable move to the first record");
  q.GoBottom = f.YN("TraverseTable move to the last record");
  q.EofAction = f.Digit("TraverseTable end-of-file action");
  q.Direction = f.Digit("TraverseTable direction");
  q.PreviousDirection = f.Digit("TraverseTable previous direction");
  q.FetchCount = static_cast<int32_t>(f.Hex(8, "TraverseTable fetch count"));
  q.RecNo = static_cast<int32_t>(f.Hex(8, "TraverseTable record number"));
  return q;
}

void AppendFetchEntry(std::string& entries, int result, uint32_t recno, uint32_t position, std::string_view record) {
  entries += Digit(result, "TraverseTable result");
  entries += Hex(recno, 8);
  entries += Hex(position, 8);
  entries += record;
}

std::string BuildTraverseReply(uint32_t count, std::string_view entries) {
  return Hex(count, 8) + std::string(entries);
}

std::vector<TMvFetchSlot> DecodeTraverseReply(std::string_view reply, int record_size, int32_t fetch_count) {
  if (reply.size() < 8 || record_size < 0) throw EMvField("Short TraverseTable reply");
  const int32_t n = static_cast<int32_t>(ParseHex(reply.substr(0, 8), "TraverseTable count"));
  const size_t entry_size = kMvFetchEntryHead + static_cast<size_t>(record_size);
  if (n < 0 || n > fetch_count || reply.size() != 8 + static_cast<size_t>(n) * entry_size)
    throw EMvField("TraverseTable reply does not match its record count");
  std::vector<TMvFetchSlot> entries(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    TFieldReader e(reply.substr(8 + static_cast<size_t>(i) * entry_size, entry_size));
    TMvFetchSlot& slot = entries[static_cast<size_t>(i)];
    slot.Result = e.Digit("TraverseTable result");
    slot.RecNo = static_cast<int32_t>(e.Hex(8, "TraverseTable record number"));
    slot.Position = static_cast<int32_t>(e.Hex(8, "TraverseTable position"));
    slot.Record.assign(e.Rest());
  }
  return entries;
}

}  // namespace tavrik
