#include "server/TraverseTable.h"

#include <algorithm>

#include "proto/MvFields.h"
#include "proto/MvTraverse.h"
#include "server/WorkAreaSession.h"

namespace tavrik::server {

namespace {

using namespace mvproto;

class TBatch {
 public:
  TBatch(xbase::TWorkArea& area, uint64_t limit) : area_(area), limit_(limit) {}

  bool Full() const { return count_ >= limit_; }
  void Record() {
    AppendFetchEntry(entries_, kFetchRecord, area_.RecNo(), area_.KeyPosition(), area_.GetRecord());
    ++count_;
  }
  void Marker(int result) {
    if (Full()) return;
    AppendFetchEntry(entries_, result, result == kFetchBeginning ? 0 : area_.RecCount() + 1, 0,
                     std::string(area_.RecordSize(), ' '));
    ++count_;
  }
  std::string Reply() const { return BuildTraverseReply(static_cast<uint32_t>(count_), entries_); }

 private:
  xbase::TWorkArea& area_;
  uint64_t limit_;
  uint64_t count_ = 0;
  std::string entries_;
};

// Records forwards from where the work area stands, then the end entry if there is room.
void Forwards(xbase::TWorkArea& area, TBatch& batch, int eof_action) {
  while (!area.Eof()) {
    batch.Record();
    if (batch.Full()) return;  // the work area stays on the last record delivered
    area.Skip(1);
  }
  batch.Marker(kFetchEnd);
  if (eof_action == 1) area.GoBottom();
}

// Records backwards from where the work area stands, then the beginning entry if there is room.
// Skip(-1) past the first record leaves the work area on the first record with Bof set.
void Backwards(xbase::TWorkArea& area, TBatch& batch) {
  while (!area.Bof() && !area.Eof()) {
    batch.Record();
    if (batch.Full()) return;
    area.Skip(-1);
  }
  batch.Marker(kFetchBeginning);
  if (area.Eof()) area.GoTop();
}

bool Shown(xbase::TWorkArea& area) {
  // Visible covers the deleted setting and the filter; an index order's scope leaves records
  // outside it without a key position.
  return !area.Eof() && area.Visible() && area.KeyPosition() != 0;
}

void CheckRequest(const TMvTraverseRequest& q) {
  if (q.GoTop && q.GoBottom) throw ERefused("TraverseTable: moves to the first and the last record both pending");
  if (q.EofAction > 1) throw ERefused("TraverseTable: end-of-file action " + std::to_string(q.EofAction));
  if (q.Direction > 2 || q.PreviousDirection > 2) throw ERefused("TraverseTable: direction beyond 0..2");
  if (q.FetchCount <= 0)
    throw ERefused("TraverseTable: fetch count " + std::to_string(static_cast<uint32_t>(q.FetchCount)));
}

}  // namespace

std::string TraverseTable(xbase::TWorkArea& area, const TMvTraverseRequest& q, uint64_t max_reply) {
  CheckRequest(q);
  const uint64_t entry_size = kMvFetchEntryHead + uint64_t{area.RecordSize()};
  const uint64_t room = max_reply > 8 ? (max_reply - 8) / entry_size : 0;
  TBatch batch(area, std::max<uint64_t>(1, std::min<uint64_t>(static_cast<uint64_t>(q.FetchCount), room)));
  const uint32_t count = area.RecCount();
  const uint32_t recno = static_cast<uint32_t>(q.RecNo);
  const bool before_first = q.GoTop || (!q.GoBottom && recno == 0);
  const bool after_last = q.GoBottom || (!q.GoTop && recno > count);

  switch (q.Direction) {
    case 1:  // next
      if (after_last) {
        area.Go(0);  // the end of file
        Forwards(area, batch, q.EofAction);
      } else if (before_first) {
        area.GoTop();
        Forwards(area, batch, q.EofAction);
      } else {
        area.Go(recno);
        area.Skip(1);
        Forwards(area, batch, q.EofAction);
      }
      break;
    case 2:  // prior
      if (before_first) {
        area.GoTop();
        batch.Marker(kFetchBeginning);
      } else {
        if (after_last) {
          area.GoBottom();
        } else {
          area.Go(recno);
          area.Skip(-1);
        }
        Backwards(area, batch);
      }
      break;
    default:  // current
      if (q.GoTop) {
        area.GoTop();
        if (area.Eof()) batch.Marker(kFetchBeginning); else batch.Record();
      } else if (q.GoBottom) {
        area.GoBottom();
        if (area.Eof()) batch.Marker(kFetchEnd); else batch.Record();
      } else if (before_first) {
        area.GoTop();
        batch.Marker(kFetchBeginning);
      } else {
        area.Go(recno);
        if (Shown(area)) batch.Record(); else batch.Marker(kFetchEnd);
      }
      break;
  }
  return batch.Reply();
}

void RegisterTraverseCommand(TDispatcher& d, TServerContext& context) {
  const uint64_t max_reply = context.config.max_payload;
  AddAreaCommand(d, mvcmd::TraverseTable, [max_reply](TWorkAreaSession& w, TSessionState&, TRequest& r) {
    return TraverseTable(w.areas.CurrentArea(), ParseTraverseRequest(r.payload), max_reply);
  });
}

}  // namespace tavrik::server
