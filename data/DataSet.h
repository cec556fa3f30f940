// TDataSet: the base of every dataset (tables, queries). It owns the fields, the field
// definitions and a ring of record buffers, runs navigation, editing and events, and asks its
// descendant, through the protected steps below, to fetch records into buffers, to store them
// and to read and write field values inside a buffer.
//
// States:
//
//   dsInactive --Open--> dsOpening --(InternalOpen done)--> dsBrowse --Close--> dsInactive
//   dsBrowse --Edit--> dsEdit          dsEdit / dsInsert --Post or Cancel--> dsBrowse
//   dsBrowse --Append/Insert--> dsInsert
//   dsCalcFields, dsFilter: entered for the length of one computation on one buffer (calculated
//   fields, OnFilterRecord) and left to the state before.
//   A failed Open leaves dsInactive; a failed Post leaves dsEdit / dsInsert.
//   Moving, Close and Refresh in dsEdit / dsInsert first finish the edit (CheckBrowseMode): a
//   modified record is posted, an unmodified one cancelled.
//
// The record-buffer ring: BufferCount() buffers hold the records around the active one, plus
// one spare into which the next record is fetched before it enters the ring. The count is the
// largest BufferCount of the attached data links (a grid shows several rows), and 1 when none is
// attached: a dataset used from code fetches exactly the record it stands on. Buffers
// [0, RecordCount) are valid; the active one is the current record; the "current" one is the
// buffer whose record the descendant's cursor is on (-1: unknown; UpdateCursorPos puts the
// cursor back on the active record through InternalSetToRecord, InternalFirst or InternalLast
// according to the buffer's bookmark flag).
//
// Ownership: the dataset owns its fields and buffers; data sources and links are owned by their
// creators and must be detached (or destroyed) before the dataset goes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Component.h"
#include "core/Streams.h"
#include "core/Variant.h"
#include "data/DB.h"
#include "data/Field.h"
#include "data/FieldDefs.h"

namespace tavrik {

class TDataSource;

class TDataSet : public TComponent {
 public:
  using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
  using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;

  explicit TDataSet(TComponent* owner = nullptr);
  ~TDataSet() override;

  // ---- opening ----
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  void SetActive(bool value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }

  // ---- fields ----
  TFieldDefs& FieldDefs() { return field_defs_; }
  // Reads the field definitions without opening (the descendant's InternalInitFieldDefs).
  void UpdateFieldDefs();
  // Persistent fields are made before opening (a calculated field must be); without any, Open
  // makes one field per field definition and destroys them again at Close.
  TField& AddField(std::string name, TFieldType type, int size = 0, TFieldKind kind = TFieldKind::fkData);
  int FieldCount() const { return int(fields_.size()); }
  TField& Fields(int index) const { return *fields_.at(size_t(index)); }
  TField* FindField(std::string_view name) const;
  // EDatabaseError "Field '<name>' not found".
  TField& FieldByName(std::string_view name) const;
  // The fields named in a ";"-separated list.
  std::vector<TField*> GetFieldList(std::string_view names) const;
  bool DefaultFields() const { return default_fields_; }
  int CalcFieldsSize() const { return calc_fields_size_; }
  bool AutoCalcFields = true;

  // ---- navigation ----
  virtual void First();
  virtual void Last();
  virtual void Next() { MoveBy(1); }
  virtual void Prior() { MoveBy(-1); }
  virtual int MoveBy(int distance);
  virtual bool Bof() { return bof_; }
  virtual bool Eof() { return eof_; }
  bool IsEmpty() const { return Active() && record_count_ == 0 && bof_ && eof_; }
  int RecordCount() { return GetRecordCount(); }
  int RecNo() { return GetRecNo(); }
  void SetRecNo(int value) { SetRecNoStep(value); }
  virtual bool Locate(std::string_view key_fields, const std::vector<TVariant>& key_values, TLocateOptions options);
  virtual TVariant Lookup(std::string_view key_fields, const std::vector<TVariant>& key_values,
                          std::string_view result_fields);
  virtual void Refresh();
  virtual void Resync(TResyncMode mode);
  // Puts the descendant's cursor on the active record.
  void UpdateCursorPos();
  // The descendant's cursor has moved on its own: the next UpdateCursorPos repositions it.
  void CursorPosChanged() { current_record_ = -1; }

  // ---- bookmarks ----
  TBookmark GetBookmark();
  void GotoBookmark(const TBookmark& bookmark);
  virtual bool BookmarkValid(const TBookmark& bookmark);
  virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b);

  // ---- editing ----
  virtual void Append();
  virtual void Insert();
  virtual void Edit();
  virtual void Post();
  virtual void Cancel();
  virtual void Delete();
  // Adds a whole record with these values, in field order, and makes it active.
  void AppendRecord(const std::vector<TVariant>& values);
  void InsertRecord(const std::vector<TVariant>& values);
  bool Modified() const { return modified_; }
  bool CanModify() { return GetCanModify(); }
  // Moving and closing finish an edit first: post when modified, else cancel.
  void CheckBrowseMode();

  // ---- filters ----
  const std::string& Filter() const { return filter_text_; }
  virtual void SetFilter(const std::string& text) { filter_text_ = text; }
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool value) { filtered_ = value; }
  TFilterRecordEvent OnFilterRecord;

  // ---- blobs ----
  // A stream over the value of a memo or blob field of the current buffer. A stream opened for
  // writing hands its content to the record when it is destroyed.
  virtual std::unique_ptr<TStream> CreateBlobStream(const TField& field, TBlobStreamMode mode) = 0;

  // ---- controls ----
  void DisableControls() { ++disable_count_; }
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ > 0; }
  int BufferCount() const { return buffer_count_; }

  // ---- events ----
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit, BeforePost, AfterPost;
  TDataSetNotifyEvent BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent OnNewRecord, OnCalcFields;

  // ---- field data (what TField reads and writes through) ----
  // The native value of `field` in the buffer the state selects into `buffer` (nullptr: only
  // whether there is a value); false when the field is empty.
  virtual bool GetFieldData(const TField& field, void* buffer) = 0;
  // Writes a native value (nullptr: empty) into the buffer the state selects.
  virtual void SetFieldData(TField& field, const void* buffer) = 0;

  // Data sources register here; the ring grows to what their links need.
  void AttachDataSource(TDataSource* source);
  void DetachDataSource(TDataSource* source);
  void UpdateBufferCount();

 protected:
  // ---- buffers: the descendant's record layout ----
  virtual TRecordBuffer AllocRecordBuffer() = 0;
  virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
  virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
  // Fetches a record into `buffer`, relative to the cursor; `check` raises on errors.
  virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool check) = 0;

  // ---- opening ----
  // Opens the cursor; must make the field definitions and bind the fields (CreateFields,
  // BindFields) before the first fetch.
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual void InternalInitFieldDefs() = 0;
  virtual bool IsCursorOpen() const = 0;
  // An exception raised while a data link was being told of a change.
  virtual void InternalHandleException(const std::exception& error);

  // ---- cursor ----
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
  virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;
  virtual TBookmark GetBookmarkData(TRecordBuffer buffer) = 0;
  virtual void SetBookmarkData(TRecordBuffer buffer, const TBookmark& bookmark) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) = 0;
  virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
  virtual int GetRecordCount() { return -1; }
  virtual int GetRecNo() { return -1; }
  virtual void SetRecNoStep(int) {}
  virtual void InternalRefresh() {}

  // ---- editing ----
  virtual bool GetCanModify() { return true; }
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalPost() = 0;
  virtual void InternalCancel() {}
  virtual void InternalDelete() = 0;
  virtual void InternalAddRecord(TRecordBuffer buffer, bool append) = 0;

  // ---- the steps around events (descendants add their own work) ----
  virtual void DoBeforeInsert() { Fire(BeforeInsert); }
  virtual void DoAfterInsert() { Fire(AfterInsert); }
  virtual void DoBeforeScroll() { Fire(BeforeScroll); }
  virtual void DoAfterScroll() { Fire(AfterScroll); }
  virtual void DoAfterCancel() { Fire(AfterCancel); }
  virtual void DoOnNewRecord() { Fire(OnNewRecord); }

  // ---- helpers for descendants ----
  void Fire(const TDataSetNotifyEvent& event) {
    if (event) event(*this);
  }
  void SetState(TDataSetState state);
  // One field per field definition (default fields).
  void CreateFields();
  void DestroyFields();
  // Binds data fields to their definitions (FieldNo) and places the calculated fields in the
  // calculated-field area (Offset: a has-value byte, then the native value). Unbinding clears
  // the numbers. EDatabaseError "Field '<name>' not found" for a data field without definition.
  void BindFields(bool binding);
  TRecordBuffer ActiveBuffer() const;
  // The buffer field values are read from and written to in the current state: the buffer
  // being calculated or filtered, else the active one (nullptr when there is none).
  TRecordBuffer StateBuffer() const;
  TRecordBuffer TempBuffer() const { return buffers_.empty() ? nullptr : buffers_.back(); }
  void InitRecord(TRecordBuffer buffer);
  // Runs OnCalcFields on `buffer` in dsCalcFields when there are calculated fields.
  void GetCalcFields(TRecordBuffer buffer);
  bool HasCalcFields() const;
  // Runs OnFilterRecord on `buffer` in dsFilter; an exception from the handler counts as
  // acceptance and goes no further.
  bool FilterAccepts(TRecordBuffer buffer);
  // The field-change event: the record is modified, the field and the links are told.
  void DataEvent(TDataEvent event, TField* field = nullptr);
  void ClearBuffers();

 private:
  void OpenCursor();
  void CloseCursor();
  void SetBufListSize(int count);
  void ActivateBuffers();
  void SetCurrentRecord(int index);
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  void BeginInsertAppend();
  void EndInsertAppend();
  void AddRecord(const std::vector<TVariant>& values, bool append);
  void CheckActive() const;
  void NotifyLinks(TDataEvent event);

  TDataSetState state_ = TDataSetState::dsInactive;
  std::vector<std::unique_ptr<TField>> fields_;
  TFieldDefs field_defs_;
  bool default_fields_ = false;
  int calc_fields_size_ = 0;
  std::string filter_text_;
  bool filtered_ = false;
  bool modified_ = false;

  // The ring: buffers_[0..buffer_count_-1] plus one spare at the end.
  std::vector<TRecordBuffer> buffers_;
  int buffer_count_ = 0;
  int record_count_ = 0;
  int active_record_ = 0;
  int current_record_ = -1;
  bool bof_ = true;
  bool eof_ = true;
  TRecordBuffer calc_buffer_ = nullptr;
  TRecordBuffer filter_buffer_ = nullptr;

  int disable_count_ = 0;
  std::vector<TDataSource*> sources_;
};

}  // namespace tavrik
