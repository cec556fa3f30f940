// TDataSet: the record-buffer ring, navigation, bookmarks and resynchronisation.
#include <algorithm>

#include "data/DataSet.h"

namespace tavrik {

// ---- the ring ----

void TDataSet::SetCurrentRecord(int index) {
  if (current_record_ == index) return;
  TRecordBuffer buffer = buffers_[size_t(index)];
  switch (GetBookmarkFlag(buffer)) {
    case TBookmarkFlag::bfCurrent:
    case TBookmarkFlag::bfInserted: InternalSetToRecord(buffer); break;
    case TBookmarkFlag::bfBOF: InternalFirst(); break;
    case TBookmarkFlag::bfEOF: InternalLast(); break;
  }
  current_record_ = index;
}

void TDataSet::UpdateCursorPos() {
  if (record_count_ > 0) SetCurrentRecord(active_record_);
}

// Fetches the record after the last buffer into the spare and takes it into the ring; a full
// ring drops its first buffer.
bool TDataSet::GetNextRecord() {
  if (record_count_ > 0) SetCurrentRecord(record_count_ - 1);
  if (GetRecord(buffers_[size_t(record_count_)], TGetMode::gmNext, true) != TGetResult::grOK) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else if (record_count_ < buffer_count_) {
    ++record_count_;
  } else {
    std::rotate(buffers_.begin(), buffers_.begin() + 1, buffers_.begin() + buffer_count_ + 1);
    if (active_record_ > 0) --active_record_;
  }
  current_record_ = record_count_ - 1;
  return true;
}

// Fetches the record before the first buffer and puts it in front; a full ring drops its last.
bool TDataSet::GetPriorRecord() {
  if (record_count_ > 0) SetCurrentRecord(0);
  if (GetRecord(buffers_[size_t(record_count_)], TGetMode::gmPrior, true) != TGetResult::grOK) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else {
    std::rotate(buffers_.begin(), buffers_.begin() + record_count_, buffers_.begin() + record_count_ + 1);
    if (record_count_ < buffer_count_) {
      ++record_count_;
      ++active_record_;
    } else if (active_record_ < record_count_ - 1) {
      ++active_record_;
    }
  }
  current_record_ = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int n = 0;
  while (record_count_ < buffer_count_ && GetNextRecord()) ++n;
  return n;
}

int TDataSet::GetPriorRecords() {
  int n = 0;
  while (record_count_ < buffer_count_ && GetPriorRecord()) ++n;
  return n;
}

// ---- moving ----

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalFirst();
    GetNextRecord();
    GetNextRecords();
  } catch (...) {
    bof_ = true;
    NotifyLinks(TDataEvent::deDataSetChange);
    throw;
  }
  bof_ = true;
  eof_ = record_count_ == 0;
  NotifyLinks(TDataEvent::deDataSetChange);
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalLast();
    GetPriorRecord();
    GetPriorRecords();
  } catch (...) {
    eof_ = true;
    NotifyLinks(TDataEvent::deDataSetChange);
    throw;
  }
  eof_ = true;
  bof_ = record_count_ == 0;
  active_record_ = std::max(record_count_ - 1, 0);
  NotifyLinks(TDataEvent::deDataSetChange);
  DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    DoBeforeScroll();
    bof_ = false;
    eof_ = false;
    while (distance > 0) {
      if (active_record_ < record_count_ - 1) {
        ++active_record_;
      } else if (GetNextRecord()) {
        active_record_ = record_count_ - 1;
      } else {
        eof_ = true;
        break;
      }
      --distance;
      ++moved;
    }
    while (distance < 0) {
      if (active_record_ > 0) {
        --active_record_;
      } else if (GetPriorRecord()) {
        active_record_ = 0;
      } else {
        bof_ = true;
        break;
      }
      ++distance;
      --moved;
    }
    NotifyLinks(moved != 0 ? TDataEvent::deDataSetScroll : TDataEvent::deDataSetChange);
    DoAfterScroll();
  }
  return moved;
}

bool TDataSet::Locate(std::string_view, const std::vector<TVariant>&, TLocateOptions) { return false; }

TVariant TDataSet::Lookup(std::string_view, const std::vector<TVariant>&, std::string_view) {
  return TVariant::Null();
}

// ---- resynchronising ----

void TDataSet::Resync(TResyncMode mode) {
  TRecordBuffer spare = buffers_[size_t(record_count_)];
  if (mode & rmExact) {
    CursorPosChanged();
    if (GetRecord(spare, TGetMode::gmCurrent, true) != TGetResult::grOK)
      throw EDatabaseError("Record not found or changed by another user");
  } else if (GetRecord(spare, TGetMode::gmCurrent, false) != TGetResult::grOK &&
             GetRecord(spare, TGetMode::gmNext, false) != TGetResult::grOK &&
             GetRecord(spare, TGetMode::gmPrior, false) != TGetResult::grOK) {
    ClearBuffers();
    NotifyLinks(TDataEvent::deDataSetChange);
    return;
  }
  int before = (mode & rmCenter) ? (buffer_count_ - 1) / 2 : active_record_;
  std::swap(buffers_[0], buffers_[size_t(record_count_)]);
  ActivateBuffers();
  try {
    while (before > 0 && GetPriorRecord()) --before;
    GetNextRecords();
    GetPriorRecords();
  } catch (...) {
    NotifyLinks(TDataEvent::deDataSetChange);
    throw;
  }
  NotifyLinks(TDataEvent::deDataSetChange);
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  InternalRefresh();
  Resync(0);
}

// ---- bookmarks ----

TBookmark TDataSet::GetBookmark() {
  if (!Active() || record_count_ == 0 || GetBookmarkFlag(ActiveBuffer()) != TBookmarkFlag::bfCurrent) return {};
  return GetBookmarkData(ActiveBuffer());
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark);
  Resync(rmExact | rmCenter);
  DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) { return !bookmark.empty(); }

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
  return a < b ? -1 : (a == b ? 0 : 1);
}

}  // namespace tavrik
