#include "server/TraverseTable.h"

#include <algorithm>

#include "server/WorkAreaCodec.h"
#include "server/WorkAreaSession.h"

namespace tavrik::server {

namespace {

using namespace wire;

constexpr char kRecord = '0', kBeginning = '1', kEnd = '2';

class TBatch {
 public:
  TBatch(xbase::TWorkArea& area, uint64_t limit) : area_(area), limit_(limit) {}

  bool Full() const { return count_ >= limit_; }
  void Record() {
    entries_ += kRecord;
    entries_ += Hex(area_.RecNo(), 8) + Hex(area_.KeyPosition(), 8) + area_.GetRecord();
    ++count_;
  }
  void Marker(char result) {
    if (Full()) return;
    entries_ += result;
    entries_ += Hex(result == kBeginning ? 0 : uint64_t{area_.RecCount()} + 1, 8) + Hex(0, 8) +
                std::string(area_.RecordSize(), ' ');
    ++count_;
  }
  std::string Reply() const { return Hex(count_, 8) + entries_; }

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
  batch.Marker(kEnd);
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
  batch.Marker(kBeginning);
  if (area.Eof()) area.GoTop();
}

bool Shown(xbase::TWorkArea& area) {
  // Visible covers the deleted setting and the filter; an index order's scope leaves records
  // outside it without a key position.
  return !area.Eof() && area.Visible() && area.KeyPosition() != 0;
}

}  // namespace

TTraverseRequest ParseTraverseRequest(std::string_view payload) {
  if (payload.size() != kTraverseRequestSize)
    throw ERefused("TraverseTable request of " + std::to_string(payload.size()) + " bytes, not " +
                   std::to_string(kTraverseRequestSize));
  TFieldReader f(payload);
  TTraverseRequest q;
  q.go_top = f.YN("TraverseTable move to the first record");
  q.go_bottom = f.YN("TraverseTable move to the last record");
  q.eof_action = f.Digit("TraverseTable end-of-file action");
  q.direction = f.Digit("TraverseTable direction");
  q.previous = f.Digit("TraverseTable previous direction");
  q.fetch_count = f.Hex(8, "TraverseTable fetch count");
  q.recno = f.Hex(8, "TraverseTable record number");
  if (q.go_top && q.go_bottom) throw ERefused("TraverseTable: moves to the first and the last record both pending");
  if (q.eof_action > 1) throw ERefused("TraverseTable: end-of-file action " + std::to_string(q.eof_action));
  if (q.direction > 2 || q.previous > 2) throw ERefused("TraverseTable: direction beyond 0..2");
  if (q.fetch_count == 0 || q.fetch_count > 0x7FFFFFFF)
    throw ERefused("TraverseTable: fetch count " + std::to_string(q.fetch_count));
  return q;
}

std::string TraverseTable(xbase::TWorkArea& area, const TTraverseRequest& q, uint64_t max_reply) {
  const uint64_t entry_size = 17 + uint64_t{area.RecordSize()};
  const uint64_t room = max_reply > 8 ? (max_reply - 8) / entry_size : 0;
  TBatch batch(area, std::max<uint64_t>(1, std::min<uint64_t>(q.fetch_count, room)));
  const uint32_t count = area.RecCount();
  const bool before_first = q.go_top || (!q.go_bottom && q.recno == 0);
  const bool after_last = q.go_bottom || (!q.go_top && q.recno > count);

  switch (q.direction) {
    case 1:  // next
      if (after_last) {
        area.Go(0);  // the end of file
        Forwards(area, batch, q.eof_action);
      } else if (before_first) {
        area.GoTop();
        Forwards(area, batch, q.eof_action);
      } else {
        area.Go(q.recno);
        area.Skip(1);
        Forwards(area, batch, q.eof_action);
      }
      break;
    case 2:  // prior
      if (before_first) {
        area.GoTop();
        batch.Marker(kBeginning);
      } else {
        if (after_last) {
          area.GoBottom();
        } else {
          area.Go(q.recno);
          area.Skip(-1);
        }
        Backwards(area, batch);
      }
      break;
    default:  // current
      if (q.go_top) {
        area.GoTop();
        if (area.Eof()) batch.Marker(kBeginning); else batch.Record();
      } else if (q.go_bottom) {
        area.GoBottom();
        if (area.Eof()) batch.Marker(kEnd); else batch.Record();
      } else if (before_first) {
        area.GoTop();
        batch.Marker(kBeginning);
      } else {
        area.Go(q.recno);
        if (Shown(area)) batch.Record(); else batch.Marker(kEnd);
      }
      break;
  }
  return batch.Reply();
}

void RegisterTraverseCommand(TDispatcher& d, TServerContext& context) {
  const uint64_t max_reply = context.config.max_payload;
  AddAreaCommand(d, "0626", "TraverseTable", [max_reply](TWorkAreaSession& w, TSessionState&, TRequest& r) {
    const TTraverseRequest q = ParseTraverseRequest(r.payload);
    return TraverseTable(w.areas.CurrentArea(), q, max_reply);
  });
}

}  // namespace tavrik::server
