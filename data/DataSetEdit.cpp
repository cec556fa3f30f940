// TDataSet: appending, inserting, editing, posting, cancelling and deleting records.
#include <algorithm>

#include "data/DataSet.h"

namespace tavrik {

namespace {
constexpr const char* kReadOnly = "Cannot modify a read-only data set";
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  NotifyLinks(TDataEvent::deCheckBrowseMode);
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    NotifyLinks(TDataEvent::deUpdateRecord);
    if (modified_) Post();
    else Cancel();
  } else if (state_ == TDataSetState::dsSetKey) {
    SetState(TDataSetState::dsBrowse);
  }
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  if (!GetCanModify()) throw EDatabaseError(kReadOnly);
  DoBeforeInsert();
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  InternalInsert();
  SetState(TDataSetState::dsInsert);
  DoOnNewRecord();
  modified_ = false;  // values set for a new record do not count as the user's changes
  NotifyLinks(TDataEvent::deDataSetChange);
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Append() {
  BeginInsertAppend();
  // The new record stands after the last one; the buffers before it are refilled from there.
  ClearBuffers();
  InitRecord(buffers_[0]);
  SetBookmarkFlag(buffers_[0], TBookmarkFlag::bfEOF);
  record_count_ = 1;
  bof_ = false;
  GetPriorRecords();
  eof_ = true;
  EndInsertAppend();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  if (record_count_ == 0) {
    InitRecord(buffers_[0]);
    record_count_ = 1;
    active_record_ = 0;
  } else {
    // The spare buffer becomes the new one at the active place; a full ring drops its last.
    std::rotate(buffers_.begin() + active_record_, buffers_.begin() + record_count_,
                buffers_.begin() + record_count_ + 1);
    if (record_count_ < buffer_count_) ++record_count_;
    InitRecord(ActiveBuffer());
  }
  CursorPosChanged();
  bof_ = eof_ = false;
  EndInsertAppend();
}

void TDataSet::Edit() {
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return;
  CheckActive();
  if (record_count_ == 0) {
    Append();
    return;
  }
  CheckBrowseMode();
  if (!GetCanModify()) throw EDatabaseError(kReadOnly);
  Fire(BeforeEdit);
  InternalEdit();
  GetCalcFields(ActiveBuffer());
  SetState(TDataSetState::dsEdit);
  NotifyLinks(TDataEvent::deRecordChange);
  Fire(AfterEdit);
}

void TDataSet::Post() {
  CheckActive();
  NotifyLinks(TDataEvent::deUpdateRecord);
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
    if (state_ == TDataSetState::dsSetKey) SetState(TDataSetState::dsBrowse);
    return;
  }
  NotifyLinks(TDataEvent::deCheckBrowseMode);
  Fire(BeforePost);
  UpdateCursorPos();
  InternalPost();  // a failure leaves the record in edit or insert
  SetState(TDataSetState::dsBrowse);
  Resync(0);
  Fire(AfterPost);
}

void TDataSet::Cancel() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
    if (state_ == TDataSetState::dsSetKey) SetState(TDataSetState::dsBrowse);
    return;
  }
  NotifyLinks(TDataEvent::deCheckBrowseMode);
  Fire(BeforeCancel);
  InternalCancel();
  SetState(TDataSetState::dsBrowse);
  Resync(0);
  DoAfterCancel();
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsSetKey) {
    Cancel();
    return;
  }
  if (!GetCanModify()) throw EDatabaseError(kReadOnly);
  NotifyLinks(TDataEvent::deCheckBrowseMode);
  Fire(BeforeDelete);
  DoBeforeScroll();
  InternalDelete();  // checks that there is a record to delete
  SetState(TDataSetState::dsBrowse);
  Resync(0);
  Fire(AfterDelete);
  DoAfterScroll();
}

void TDataSet::AddRecord(const std::vector<TVariant>& values, bool append) {
  BeginInsertAppend();
  ClearBuffers();
  TRecordBuffer buffer = buffers_[0];
  InitRecord(buffer);
  record_count_ = 1;
  SetState(TDataSetState::dsInsert);
  try {
    for (size_t i = 0; i < values.size() && i < fields_.size(); ++i)
      if (!fields_[i]->Calculated()) fields_[i]->SetValue(values[i]);
    InternalAddRecord(buffer, append);
  } catch (...) {
    SetState(TDataSetState::dsBrowse);
    Resync(0);
    throw;
  }
  SetState(TDataSetState::dsBrowse);
  Resync(0);
  DoAfterScroll();
}

void TDataSet::AppendRecord(const std::vector<TVariant>& values) { AddRecord(values, true); }
void TDataSet::InsertRecord(const std::vector<TVariant>& values) { AddRecord(values, false); }

}  // namespace tavrik
