// TMarvekTable: a dataset over one xBase table, on the Marvek server (amServer, through a
// TMarvekConnection) or in a local folder (amLocal, through the local engine library). Every
// engine step goes through the work-area interface of tables/MvoDSetEngine.h, so the table's
// logic is the same for both; only fetching differs: the server delivers records in batches of
// FetchCount into a fetch cache (TraverseTable), the local engine one at a time from its cursor.
//
// The table never activates its connection: the caller activates it before opening a server
// table and closes the table before deactivating it.
//
// Files: MvoDSet.cpp (properties, open, close, structure, buffers), MvoDSetNav.cpp (fetching,
// decoding, navigation, record numbers, bookmarks, memo reading), MvoDSetSearch.cpp (Locate,
// Lookup, orders, filters, scopes, master/detail), MvoDSetEdit.cpp (field values, append, post,
// edit under a lock, cancel, delete, blob writing).
//
// Record buffer (one per ring slot; offsets fixed when the table opens):
//   OFFSET            SIZE                 CONTENT
//   0                 per bound field      has-value byte (0 empty) + the native value
//                                          (core/FieldTypes.h); memos and blobs the byte alone
//   calc_offset_      CalcFieldsSize()     calculated fields, the same way
//   blob_offset_      kBlobSlotSize each   one blob slot per memo or blob field:
//                                            0  4   length of the cached content
//                                            4  P   the cached content (owned, NUL-terminated)
//                                            4+P 10 memo block reference from the record image
//                                            14+P 1 modified flag (0 / 255)
//                                            15+P 1 loaded flag (0 / 255)
//   trailer_offset_   4                    record number (-1: a new record not yet stored)
//   trailer_offset_+4 1                    bookmark flag (TBookmarkFlag)
// P is the size of a pointer (4 on a 32-bit build, where a slot is 20 bytes). The bookmark is
// the 4-byte record number.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/DataSet.h"
#include "data/DataSource.h"
#include "tables/MvoDSetEngine.h"

namespace tavrik {

enum class TMarvekTableType : uint8_t { ttMXNONE, ttMXNTX, ttMXFOX, ttMXQIX, ttMXQIX_DBT };
enum class TMarvekCommitLevel : uint8_t { clFull, clNormal, clNone };
enum class TEOFAction : uint8_t { eaEOF, eaMoveLast };
enum class TSequencedCount : uint8_t { scAllCount, scFilterOnlyCount, scRawCount };

// One physical field of the open table.
struct TFieldInfo {
  std::string Name;  // upper case
  char Type = ' ';   // the type letter
  int Width = 0;
  int Decimals = 0;
  int ImageOffset = 0;   // in the record image, from 0
  int BufferOffset = 0;  // of its has-value byte in a record buffer; -1 when no field is bound
  int BlobSlot = -1;     // its slot among the blob slots, for memo and blob fields
};

// `text` as a string literal of the xBase expression language, delimited by a character it does
// not contain: double quotes, else single quotes, else square brackets; "" when it contains all
// three (it cannot be written as a literal, so nothing may be searched for with it).
std::string QuoteXbaseText(std::string_view text);

class TMarvekTable : public TDataSet {
 public:
  static constexpr const char* kVersion = "TMarvekTable 6.1.0.8";
  static constexpr int kBlobSlotSize = 16 + int(sizeof(char*));
  static_assert(sizeof(char*) != 4 || kBlobSlotSize == 20, "a blob slot is 20 bytes on a 32-bit build");
  static constexpr int kSlotReference = 4 + int(sizeof(char*));
  static constexpr int kSlotModified = kSlotReference + 10;
  static constexpr int kSlotLoaded = kSlotModified + 1;

  explicit TMarvekTable(TComponent* owner = nullptr);
  ~TMarvekTable() override;

  // ---- properties ----
  TMarvekConnection* MarvekConnection() const { return connection_; }
  void SetMarvekConnection(TMarvekConnection* connection);
  TAccessMethod AccessMethod() const { return access_method_; }
  void SetAccessMethod(TAccessMethod method);
  const std::string& DatabaseName() const { return database_name_; }
  void SetDatabaseName(std::string name) { database_name_ = std::move(name); }
  const std::string& TableName() const { return table_name_; }
  void SetTableName(std::string name) { table_name_ = std::move(name); }
  TMarvekTableType TableType() const { return table_type_; }
  void SetTableType(TMarvekTableType type) { table_type_ = type; }
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value);
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& password);
  const std::string& IndexName() const { return index_name_; }
  void SetIndexName(const std::string& name);
  const std::vector<std::string>& ExtraIndexes() const { return extra_indexes_; }
  void SetExtraIndexes(std::vector<std::string> files);
  // Filled from the engine; refreshed on demand while the table is open.
  TIndexDefs& IndexDefs();
  TMarvekCommitLevel CommitLevel() const { return commit_level_; }
  void SetCommitLevel(TMarvekCommitLevel level) { commit_level_ = level; }
  bool OEMTranslate() const { return oem_translate_; }
  void SetOEMTranslate(bool value);
  bool TurboRead() const { return turbo_read_; }
  void SetTurboRead(bool value);
  int FetchCount() const { return fetch_count_; }
  void SetFetchCount(int count);
  bool SpeedMode() const { return speed_mode_; }
  void SetSpeedMode(bool value);
  TEOFAction EOFAction() const { return eof_action_; }
  void SetEOFAction(TEOFAction action) { eof_action_ = action; }
  bool Sequenced() const { return sequenced_ && table_type_ != TMarvekTableType::ttMXNTX; }
  void SetSequenced(bool value);
  TSequencedCount SequencedCount() const { return sequenced_count_; }
  void SetSequencedCount(TSequencedCount count) { sequenced_count_ = count; }
  // The physical record count (0 closed).
  int RecCount();
  // The physical record number of the current record (0 closed); setting it moves there.
  int RecNo();
  void SetRecNo(int record);
  void SetFilter(const std::string& text) override;
  void SetFiltered(bool value) override;
  const std::string& ScopeBegin() const { return scope_begin_; }
  void SetScopeBegin(const std::string& value);
  const std::string& ScopeEnd() const { return scope_end_; }
  void SetScopeEnd(const std::string& value);
  bool Scoped() const { return scoped_; }
  void SetScoped(bool value);
  TDataSource* MasterSource() const { return master_link_.DataSource(); }
  void SetMasterSource(TDataSource* source);
  const std::string& MasterFields() const { return master_fields_; }
  void SetMasterFields(std::string fields);
  std::string Version();
  const std::string& LastError() const { return last_error_; }
  // The physical fields of the open table, in field order.
  const std::vector<TFieldInfo>& FieldInfos() const { return infos_; }
  // The engine's work area, 0 when the table is not open in the engine.
  int WorkArea() const { return work_area_; }
  // "Cannot perform this operation on a closed table" when closed.
  int CurrentOrder();
  bool IsEncrypted();

  // Makes the engine of an open; by default the one the access method names. Tests give their
  // own (an engine linked into the test, or one that fails on purpose).
  std::function<std::unique_ptr<TMvEngine>()> EngineFactory;

  // ---- the table's own navigation and editing ----
  void First() override;
  void Next() override;
  void Prior() override;
  int MoveBy(int distance) override;
  bool Bof() override;
  bool Eof() override;
  bool Locate(std::string_view key_fields, const std::vector<TVariant>& key_values, TLocateOptions options) override;
  TVariant Lookup(std::string_view key_fields, const std::vector<TVariant>& key_values,
                  std::string_view result_field) override;
  void Refresh() override;
  void Resync(TResyncMode mode) override;
  void Append() override;
  void Cancel() override;
  bool BookmarkValid(const TBookmark& bookmark) override { return !bookmark.empty(); }
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
  std::unique_ptr<TStream> CreateBlobStream(const TField& field, TBlobStreamMode mode) override;
  bool GetFieldData(const TField& field, void* buffer) override;
  void SetFieldData(TField& field, const void* buffer) override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  void InternalInitRecord(TRecordBuffer buffer) override;
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool check) override;
  void InternalOpen() override;
  void InternalClose() override;
  void InternalInitFieldDefs() override;
  bool IsCursorOpen() const override { return cursor_open_; }
  void InternalHandleException(const std::exception& error) override;
  void InternalFirst() override;
  void InternalLast() override;
  void InternalSetToRecord(TRecordBuffer buffer) override;
  void InternalGotoBookmark(const TBookmark& bookmark) override;
  TBookmark GetBookmarkData(TRecordBuffer buffer) override;
  void SetBookmarkData(TRecordBuffer buffer, const TBookmark& bookmark) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  int GetRecordCount() override;
  int GetRecNo() override;
  void SetRecNoStep(int value) override;
  bool GetCanModify() override;
  void InternalEdit() override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  void DoBeforeInsert() override;
  void DoAfterInsert() override;
  void DoAfterScroll() override;
  void DoOnNewRecord() override;

 private:
  friend class TMvBlobStream;
  class TMasterLink : public TDataLink {
   public:
    explicit TMasterLink(TMarvekTable& table) : table_(table) {}
    void DataEvent(TDataEvent event, TField* field) override;
    void ActiveChanged() override;

   private:
    TMarvekTable& table_;
  };

  [[noreturn]] void Error(const std::string& message);
  TMvEngine& Engine();
  void Select();
  bool WorkAreaOpen() const { return work_area_ != 0; }
  // A server table whose connection has gone: the session took its work area and locks with it,
  // so there is nothing left to tell the server.
  bool SessionGone() const {
    return access_method_ == TAccessMethod::amServer && (!connection_ || !connection_->Active());
  }
  void CheckClosed();
  void EngineOpen();
  std::string LocalFolder();
  std::string TablePath() const;
  void ApplyIndexDefs(const std::vector<TMvIndexEntry>& entries);
  void RefreshIndexDefs();
  void OpenExtraIndexes();
  void AssignBufferOffsets();
  int BoundFieldCount() const;
  void ClearCache() {
    cache_.clear();
    filled_ = -1;
  }

  // buffers (MvoDSet.cpp)
  int32_t TrailerRecNo(TRecordBuffer buffer) const;
  void SetTrailer(TRecordBuffer buffer, int32_t record, TBookmarkFlag flag);
  // The active buffer takes the engine's record (Eof, then RecNo: after the last when at the
  // end); returns the record number.
  int TrailerFromEngine();
  char* Slot(TRecordBuffer buffer, int slot) const { return buffer + blob_offset_ + slot * kBlobSlotSize; }
  void ResetSlot(TRecordBuffer buffer, int slot);
  void SetSlotContent(TRecordBuffer buffer, int slot, const std::string& content);
  std::string SlotContent(TRecordBuffer buffer, int slot) const;

  // fetching (MvoDSetNav.cpp)
  TGetResult FetchBatch(TGetMode mode);
  TGetResult FetchLocal(TGetMode mode);
  void DecodeRecord(TRecordBuffer buffer);
  void RefreshCount();
  void BeforeScrollStep();
  void AfterScrollStep();
  void GoRecord(int record);
  void LoadBlob(TRecordBuffer buffer, const TField& field, const TFieldInfo& info);

  // searching (MvoDSetSearch.cpp)
  bool SeekKey(const TField& field, const TVariant& value, int order, TLocateOptions options);
  std::string SearchExpression(const std::vector<TField*>& fields, const std::vector<TVariant>& values,
                               TLocateOptions options, bool& deliverable);
  void ApplyFilter(const std::string& expression);
  void ApplyScope();
  std::string MasterKey();
  void MasterChanged();

  // editing (MvoDSetEdit.cpp)
  using TEncoded = std::vector<std::pair<int, std::string>>;
  TEncoded EncodeRecord(TRecordBuffer buffer);
  void StoreRecord(const TEncoded& encoded, bool is_new);
  void WriteBlobs(TRecordBuffer buffer);

  // properties
  TMarvekConnection* connection_ = nullptr;
  TAccessMethod access_method_ = TAccessMethod::amLocal;
  std::string database_name_;
  std::string table_name_;
  TMarvekTableType table_type_ = TMarvekTableType::ttMXFOX;
  bool exclusive_ = false;
  bool read_only_ = false;
  std::string password_;
  std::string index_name_;
  std::vector<std::string> extra_indexes_;
  TIndexDefs index_defs_;
  TMarvekCommitLevel commit_level_ = TMarvekCommitLevel::clNormal;
  bool oem_translate_ = false;
  bool turbo_read_ = false;
  int fetch_count_ = 50;
  bool speed_mode_ = false;
  TEOFAction eof_action_ = TEOFAction::eaMoveLast;
  bool sequenced_ = true;
  TSequencedCount sequenced_count_ = TSequencedCount::scRawCount;
  std::string scope_begin_;
  std::string scope_end_;
  bool scoped_ = false;
  std::string master_fields_;
  TMasterLink master_link_{*this};
  std::string last_master_key_;
  std::string last_master_index_;
  std::string last_error_;

  // the open table
  std::unique_ptr<TMvEngine> engine_;
  int work_area_ = 0;
  int field_count_ = 0;
  int record_size_ = 0;
  bool encrypted_ = false;
  int order_ = 0;
  std::string order_condition_;
  std::vector<TFieldInfo> infos_;
  std::string image_;
  std::string table_path_;
  bool opening_ = false;
  bool cursor_open_ = false;
  int calc_offset_ = 0;
  int blob_offset_ = 0;
  int blob_count_ = 0;
  int trailer_offset_ = 0;

  // navigation
  std::vector<TMvFetchSlot> cache_;
  int filled_ = -1;  // entries of the last batch; -1 stale
  int cache_index_ = 0;
  int record_count_ = 0;
  int phys_count_ = 0;
  bool count_needs_refresh_ = true;
  int cur_recno_ = 0;
  int key_pos_ = -1;
  bool go_top_ = false;
  bool go_bottom_ = false;
  int prev_dir_ = 0;

  // editing
  int remembered_recno_ = 0;  // before an append or insert, to return to on cancel
  bool appended_already_ = false;
  int appended_recno_ = 0;  // the blank record of a post that failed after appending it
};

}  // namespace tavrik
