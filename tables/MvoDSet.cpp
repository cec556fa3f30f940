// TMarvekTable: properties, opening and closing, the structure and its field definitions, the
// index definitions and the record buffers.
#include "tables/MvoDSet.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/StrUtils.h"
#include "platform/DateText.h"
#include "platform/FormatSettings.h"
#include "platform/Paths.h"
#include "tables/MDE61.h"
#include "tables/MvoEnv.h"

namespace tavrik {

namespace {

constexpr const char* kClosedTable = "Cannot perform this operation on a closed table";
constexpr const char* kOpenTable = "Cannot perform this operation on an open table";

// The dataset type of a structure field; ftUnknown for type letters without one.
TFieldType MapType(const TFieldInfo& f) {
  switch (f.Type) {
    case 'C': return TFieldType::ftString;
    case 'N': return f.Decimals > 0 || f.Width > 4 ? TFieldType::ftFloat : TFieldType::ftSmallint;
    case 'I': return TFieldType::ftInteger;
    case 'L': return TFieldType::ftBoolean;
    case 'D': return TFieldType::ftDate;
    case 'M': return TFieldType::ftMemo;
    case 'B': case 'G': case 'P': return TFieldType::ftBlob;
    default: return TFieldType::ftUnknown;
  }
}

int TableTypeCode(TMarvekTableType type) {
  switch (type) {
    case TMarvekTableType::ttMXNTX: return 1;
    case TMarvekTableType::ttMXQIX: return 3;
    case TMarvekTableType::ttMXQIX_DBT: return 4;
    default: return 2;
  }
}

int CurrentYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

bool HasExtension(const std::string& name) {
  const size_t slash = name.find_last_of("/\\");
  return name.find('.', slash == std::string::npos ? 0 : slash + 1) != std::string::npos;
}

}  // namespace

TMarvekTable::TMarvekTable(TComponent* owner) : TDataSet(owner) {}

TMarvekTable::~TMarvekTable() {
  try {
    Close();
  } catch (const std::exception&) {
    // A table that goes away cannot report; its work area goes with the connection's session.
  }
  master_link_.SetDataSource(nullptr);
  SetMarvekConnection(nullptr);
}

void TMarvekTable::Error(const std::string& message) {
  last_error_ = message;
  throw EMarvekError(message);
}

void TMarvekTable::InternalHandleException(const std::exception& error) { last_error_ = error.what(); throw; }

TMvEngine& TMarvekTable::Engine() {
  if (!engine_) {
    if (EngineFactory) engine_ = EngineFactory();
    else if (access_method_ == TAccessMethod::amLocal) engine_ = MakeLocalEngine();
    else if (connection_) engine_ = MakeServerEngine(*connection_);
    else Error("No MarvekConnection specified");
  }
  return *engine_;
}

void TMarvekTable::Select() { Engine().Select(work_area_); }

void TMarvekTable::CheckClosed() {
  if (WorkAreaOpen()) Error(kOpenTable);
}

// ---- properties ----

void TMarvekTable::SetMarvekConnection(TMarvekConnection* connection) {
  if (connection == connection_) return;
  if (connection_) connection_->RemoveFreeNotification(this);
  connection_ = connection;
  if (connection_) connection_->FreeNotification(this);
  if (!WorkAreaOpen()) engine_.reset();
  if (IsDesigning()) SetAccessMethod(connection_ ? TAccessMethod::amServer : TAccessMethod::amLocal);
}

void TMarvekTable::Notification(TComponent* component, TOperation operation) {
  TDataSet::Notification(component, operation);
  if (operation == TOperation::opRemove && component == connection_) {
    // The connection is being destroyed: nothing more may be asked of it, and the session that
    // held the work area goes with it.
    connection_ = nullptr;
    engine_.reset();
    work_area_ = 0;
    try {
      Close();
    } catch (const std::exception&) {
      // closing a table whose engine is gone only drops what the table holds
    }
  }
}

void TMarvekTable::Loaded() {
  TDataSet::Loaded();
  if (access_method_ == TAccessMethod::amLocal) MDE61();
  if (connection_) connection_->SetDatabaseAlias(database_name_);
}

void TMarvekTable::SetAccessMethod(TAccessMethod method) {
  if (method == access_method_) return;
  if (WorkAreaOpen() || Active()) Error("Cannot change data access method while table is open");
  access_method_ = method;
  ClearCache();
  engine_.reset();
  if (method == TAccessMethod::amLocal) MDE61();
}

void TMarvekTable::SetExclusive(bool value) {
  CheckClosed();
  exclusive_ = value;
}

void TMarvekTable::SetReadOnly(bool value) {
  CheckClosed();
  read_only_ = value;
}

void TMarvekTable::SetFetchCount(int count) {
  CheckClosed();
  fetch_count_ = std::max(count, 1);
  ClearCache();
}

void TMarvekTable::SetPassword(const std::string& password) {
  password_ = password;
  if (!WorkAreaOpen()) return;
  Select();
  Engine().SetPassword(password);
  if (Active()) Resync(0);
}

void TMarvekTable::SetOEMTranslate(bool value) {
  oem_translate_ = value;
  if (!WorkAreaOpen()) return;
  Select();
  Engine().SetTranslate(value);
  if (Active()) Resync(0);
}

void TMarvekTable::SetTurboRead(bool value) {
  turbo_read_ = value;
  if (!WorkAreaOpen()) return;
  Select();
  Engine().SetTurboRead(value);
}

void TMarvekTable::SetSequenced(bool value) {
  sequenced_ = value;
  if (Active()) Resync(0);
}

void TMarvekTable::SetExtraIndexes(std::vector<std::string> files) {
  extra_indexes_ = std::move(files);
  index_name_.clear();
  if (!WorkAreaOpen()) return;
  Select();
  Engine().CloseIndexes();
  OpenExtraIndexes();
  index_defs_.Updated = false;
  RefreshIndexDefs();
}

void TMarvekTable::OpenExtraIndexes() {
  for (const std::string& file : extra_indexes_) {
    Select();
    if (Engine().IndexOpen(file) == 0) Error("Invalid IndexName value : " + file);
  }
}

int TMarvekTable::CurrentOrder() {
  if (!WorkAreaOpen()) Error(kClosedTable);
  Select();
  return Engine().IndexOrd();
}

bool TMarvekTable::IsEncrypted() {
  if (!WorkAreaOpen()) Error(kClosedTable);
  return encrypted_;
}

int TMarvekTable::RecCount() {
  if (!WorkAreaOpen()) return 0;
  Select();
  return Engine().RecCount();
}

std::string TMarvekTable::Version() {
  std::string engine;
  if (access_method_ == TAccessMethod::amServer) {
    engine = connection_ ? MakeServerEngine(*connection_)->Version() : "MDE ?.??.?? 32-bit";
  } else {
    engine = MakeLocalEngine()->Version();
  }
  return engine + ", " + kVersion + " " + platform::DateToStr(MakeDateTime(EncodeDayNumber(2003, 11, 5), 0));
}

bool TMarvekTable::GetCanModify() {
  // An encrypted table read without its password shows masked text: storing it would destroy
  // the real data.
  return !read_only_ && !(encrypted_ && password_.empty());
}

// ---- index definitions ----

TIndexDefs& TMarvekTable::IndexDefs() {
  if (WorkAreaOpen() && !index_defs_.Updated) RefreshIndexDefs();
  return index_defs_;
}

void TMarvekTable::ApplyIndexDefs(const std::vector<TMvIndexEntry>& entries) {
  index_defs_.Clear();
  for (const TMvIndexEntry& e : entries) {
    TIndexDef def{e.Name, e.IsExpression ? std::string() : e.Fields, e.IsExpression ? e.Expression : std::string(),
                  e.Source, 0};
    if (e.Primary) def.Options |= ixPrimary;
    if (e.Unique) def.Options |= ixUnique;
    if (e.Descending) def.Options |= ixDescending;
    if (e.CaseInsensitive) def.Options |= ixCaseInsensitive;
    if (e.IsExpression) def.Options |= ixExpression;
    if (e.NonMaintained) def.Options |= ixNonMaintained;
    index_defs_.Add(std::move(def));
  }
  index_defs_.Updated = true;
}

void TMarvekTable::RefreshIndexDefs() {
  TMvEngine& e = Engine();
  Select();
  e.SetStringType(1);
  const int n = e.SysProp(3000, 0);
  index_defs_.Clear();
  const int remembered = e.IndexOrd();
  const bool ntx = table_type_ == TMarvekTableType::ttMXNTX;
  for (int i = 1; i <= n; ++i) {
    if (ntx && e.IndexName(i).empty()) continue;
    e.SetOrder(i);
    const std::string key = UpperCase(e.IndexKey());
    const std::string file = e.IndexName(i);
    const std::string tag = ntx ? file : e.TagName(i);
    if (Trim(tag).empty() || Trim(key).empty()) {
      e.SetOrder(remembered);
      Error("Invalid Index File or Tag");
    }
    TIndexDef def;
    def.Name = tag;
    const int type = e.IndexType();
    if (ntx) def.Options |= ixNonMaintained;
    if (type == 2 || type == 4) def.Options |= ixUnique;
    if (key.find("UPPER(") != std::string::npos) def.Options |= ixCaseInsensitive;
    if (e.SysProp(3002, i) != 0) def.Options |= ixDescending;
    if (key.find_first_of("+(-") != std::string::npos) {
      def.Options |= ixExpression;
      def.Expression = key;
    } else {
      def.Fields = e.IndexKeyField();
    }
    const size_t slash = file.find_last_of("/\\");
    def.Source = slash == std::string::npos ? file : file.substr(slash + 1);
    index_defs_.Add(std::move(def));
  }
  e.SetOrder(remembered);
  index_defs_.Updated = true;
}

// ---- opening ----

void TMarvekTable::InternalOpen() {
  if (!WorkAreaOpen()) {
    record_count_ = 0;
    field_count_ = 0;
  }
  ClearCache();
  opening_ = true;
  try {
    FieldDefs().Updated = false;
    InternalInitFieldDefs();
    FieldDefs().Updated = true;
  } catch (...) {
    opening_ = false;
    throw;
  }
  opening_ = false;
  if (!WorkAreaOpen()) Error("Unable to open table.\rFile: " + TablePath());

  if (FieldCount() == 0) {
    CreateFields();
    for (int i = 0; i < FieldCount(); ++i) {
      TField& f = Fields(i);
      if (f.DataType() != TFieldType::ftFloat) continue;
      const TFieldDef* def = FieldDefs().Find(f.FieldName());
      const TFieldInfo& info = infos_[size_t(def->FieldNo - 1)];
      f.DisplayFormat.assign(1, '0');
      if (info.Decimals > 0) f.DisplayFormat.append(1, '.').append(size_t(info.Decimals), '0');
      f.Precision = info.Width + 1;
    }
  }
  BindFields(true);
  AssignBufferOffsets();
  image_.assign(size_t(record_size_), '\0');
  cursor_open_ = true;

  if (Filtered() && !Filter().empty()) {
    Select();
    Engine().QueryRowCount(Filter(), record_count_);
  }
  if (MasterSource() && master_link_.Active()) {
    if (index_name_.empty()) Error("This operation requires an active index order");
    Select();
    const std::string key = MasterKey();
    Engine().SetScope(key, key);
    last_master_key_ = key;
    last_master_index_ = index_name_;
  }
  Select();
  Engine().GoTop();
  go_top_ = true;
  go_bottom_ = false;
  cur_recno_ = 0;
  key_pos_ = -1;
  prev_dir_ = 0;
  ClearCache();
}

void TMarvekTable::InternalInitFieldDefs() {
  if (opening_ || !WorkAreaOpen()) EngineOpen();
  infos_.clear();
  FieldDefs().Clear();
  Select();
  std::vector<TMvFieldFacts> facts;
  if (Engine().Structure(field_count_, facts)) {
    for (size_t i = 0; i < facts.size(); ++i) {
      const TMvFieldFacts& f = facts[i];
      TFieldInfo info{UpperCase(f.Name), f.Type, f.Width, f.Decimals, f.Offset - 1, -1, -1};
      // A field that does not lie inside the record image is never read or written.
      if (info.ImageOffset < 1 || info.Width < 0 || info.ImageOffset + info.Width > record_size_) info.Type = '?';
      infos_.push_back(info);
      const TFieldType type = MapType(info);
      if (type != TFieldType::ftUnknown)
        FieldDefs().Add(f.Name, type, type == TFieldType::ftString ? f.Width : 0, int(i) + 1);
    }
  }
  if (!opening_ && !cursor_open_) {
    // Only the structure was wanted: the work area opened for it is released again.
    Select();
    Engine().Close();
    work_area_ = 0;
  }
}

std::string TMarvekTable::LocalFolder() {
  const std::string& name = database_name_;
  std::string folder;
  if (name.find_first_of("/\\:.") != std::string::npos) {
    folder = name;
  } else if (TMarvekDatabase* db = FindMarvekDatabase(name, IsDesigning())) {
    folder = db->DataPath;
  } else if (!name.empty()) {
    if (!platform::PathExists(name)) Error("Invalid DatabaseName value : " + name);
    folder = name;
  }
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string TMarvekTable::TablePath() const {
  return table_path_.empty() ? table_name_ + (HasExtension(table_name_) ? "" : ".DBF") : table_path_;
}

void TMarvekTable::EngineOpen() {
  if (access_method_ == TAccessMethod::amServer) {
    if (!connection_) Error("No MarvekConnection specified");
    if (!connection_->Active()) {
      work_area_ = 0;
      Error("Not connected");
    }
  }
  if (table_name_.empty()) Error(Name() + " : Missing TableName property");
  TMvUseParams p;
  p.OpenMode = exclusive_ ? 2 : (read_only_ ? 1 : 0);
  p.TableType = TableTypeCode(table_type_);
  TMarvekEnvSettings env;
  TMarvekSearchObject search;
  if (TMarvekEnv* found = search.Next<TMarvekEnv>()) env = found->SettingsFor(access_method_);
  platform::FormatSettings().TwoDigitYearCenturyWindow = std::abs(CurrentYear() - env.Epoch) % 100;
  p.Epoch = uint16_t(env.Epoch);
  p.Century = env.Century;
  p.Exact = env.Exact;
  p.SoftSeek = env.SoftSeek;
  p.DateFormat = uint16_t(env.DateFormat);
  p.MemoBlockSize = uint16_t(env.MemoBlockSize);
  p.Deleted = env.Deleted;
  p.ApplyEnvironment = env.FromEnvironment;
  p.OEMTranslate = oem_translate_;
  p.IndexName = table_type_ == TMarvekTableType::ttMXNTX ? std::string() : index_name_;
  p.TurboRead = turbo_read_;
  p.Password = password_;
  p.CommitLevel = int(commit_level_);
  TMvTableInfo info;
  std::string error;
  if (access_method_ == TAccessMethod::amServer) {
    const size_t slash = table_name_.find_last_of("/\\");
    p.DatabaseName = database_name_;
    p.TableName = slash == std::string::npos ? table_name_ : table_name_.substr(slash + 1);
    if (database_name_.empty()) {
      error = "Missing DatabaseName property";
    } else if (!WorkAreaOpen()) {
      connection_->SetDatabaseAlias(database_name_);
      work_area_ = Engine().Use(p, info);
      if (info.ErrorCode > 0) error = info.ErrorMessage;
    }
    if (!error.empty()) {
      work_area_ = 0;
      Error(error);
    }
  } else if (!WorkAreaOpen()) {
    p.DatabaseName = LocalFolder();
    p.TableName = table_name_;
    table_path_ = p.DatabaseName + table_name_ + (HasExtension(table_name_) ? "" : ".DBF");
    const std::string dir = p.DatabaseName.empty() ? std::string() : p.DatabaseName.substr(0, p.DatabaseName.size() - 1);
    const std::string file = table_path_.substr(p.DatabaseName.size());
    if (!platform::IsRegularFile(table_path_) && platform::FindEntryIgnoringCase(dir, file).empty())
      Error("Table, file or directory does not exist.\rFile: " + table_path_);
    work_area_ = Engine().Use(p, info);
    if (work_area_ == 0) Error("Unable to open table: " + table_path_);
  }
  if (info.WorkArea != 0) {
    field_count_ = info.FieldCount;
    record_size_ = info.RecordSize;
    phys_count_ = info.RecCount;
    encrypted_ = info.Encrypted;
    order_ = info.IndexOrder;
    order_condition_ = info.IndexCondition;
    if (Engine().IndexesListed()) ApplyIndexDefs(info.Indexes);
    else index_defs_.Updated = false;
    if (table_type_ == TMarvekTableType::ttMXNTX && !index_name_.empty()) {
      const std::string name = index_name_;
      index_name_.clear();
      SetIndexName(name);
    }
    OpenExtraIndexes();
  }
  record_count_ = phys_count_;
  if (!WorkAreaOpen()) {
    if (access_method_ == TAccessMethod::amServer && (connection_->User().empty() || connection_->Password().empty()))
      Error("Must include User Name and Password to open table through the Marvek Database Server");
    Error("Unable to open table.\rFile: " + TablePath());
  }
  count_needs_refresh_ = true;
}

void TMarvekTable::AssignBufferOffsets() {
  int offset = 0;
  blob_count_ = 0;
  for (TFieldInfo& info : infos_) info.BufferOffset = info.BlobSlot = -1;
  for (int i = 0; i < FieldCount(); ++i) {
    TField& f = Fields(i);
    if (f.FieldNo() < 1) continue;
    TFieldInfo& info = infos_[size_t(f.FieldNo() - 1)];
    info.BufferOffset = offset;
    offset += f.DataSize() + 1;
    if (f.IsBlob()) info.BlobSlot = blob_count_++;
  }
  calc_offset_ = offset;
  blob_offset_ = calc_offset_ + CalcFieldsSize();
  trailer_offset_ = blob_offset_ + blob_count_ * kBlobSlotSize;
}

int TMarvekTable::BoundFieldCount() const {
  int n = 0;
  for (const TFieldInfo& info : infos_) n += info.BufferOffset >= 0;
  return n;
}

// ---- closing ----

void TMarvekTable::InternalClose() {
  record_count_ = phys_count_ = -1;
  count_needs_refresh_ = true;
  table_path_.clear();
  cursor_open_ = false;
  BindFields(false);
  image_.clear();
  DestroyFields();
  infos_.clear();
  ClearCache();
  remembered_recno_ = appended_recno_ = 0;
  appended_already_ = false;
  if (!WorkAreaOpen()) return;
  const int area = work_area_;
  work_area_ = 0;
  if (SessionGone()) return;
  TMvEngine& e = Engine();
  if (!e.Alias(area).empty()) {
    e.Select(area);
    e.Close();
  }
}

// ---- record buffers ----

TRecordBuffer TMarvekTable::AllocRecordBuffer() {
  TRecordBuffer buffer = new char[size_t(trailer_offset_) + 5]();
  for (int i = 0; i < blob_count_; ++i) std::memset(Slot(buffer, i) + kSlotReference, ' ', 10);
  return buffer;
}

void TMarvekTable::FreeRecordBuffer(TRecordBuffer& buffer) {
  for (int i = 0; i < blob_count_; ++i) ResetSlot(buffer, i);
  delete[] buffer;
  buffer = nullptr;
}

void TMarvekTable::InternalInitRecord(TRecordBuffer buffer) {
  std::memset(buffer, 0, size_t(blob_offset_));
  for (int i = 0; i < blob_count_; ++i) ResetSlot(buffer, i);
  SetTrailer(buffer, 0, TBookmarkFlag::bfCurrent);
}

int32_t TMarvekTable::TrailerRecNo(TRecordBuffer buffer) const {
  int32_t record;
  std::memcpy(&record, buffer + trailer_offset_, 4);
  return record;
}

void TMarvekTable::SetTrailer(TRecordBuffer buffer, int32_t record, TBookmarkFlag flag) {
  std::memcpy(buffer + trailer_offset_, &record, 4);
  buffer[trailer_offset_ + 4] = char(flag);
}

TBookmark TMarvekTable::GetBookmarkData(TRecordBuffer buffer) { return TBookmark(buffer + trailer_offset_, 4); }

void TMarvekTable::SetBookmarkData(TRecordBuffer buffer, const TBookmark& bookmark) {
  if (bookmark.size() == 4) std::memcpy(buffer + trailer_offset_, bookmark.data(), 4);
}

TBookmarkFlag TMarvekTable::GetBookmarkFlag(TRecordBuffer buffer) {
  return TBookmarkFlag(uint8_t(buffer[trailer_offset_ + 4]));
}

void TMarvekTable::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  buffer[trailer_offset_ + 4] = char(flag);
}

void TMarvekTable::ResetSlot(TRecordBuffer buffer, int slot) {
  char* s = Slot(buffer, slot);
  char* content;
  std::memcpy(&content, s + 4, sizeof content);
  delete[] content;
  std::memset(s, 0, size_t(kBlobSlotSize));
  std::memset(s + kSlotReference, ' ', 10);
}

void TMarvekTable::SetSlotContent(TRecordBuffer buffer, int slot, const std::string& content) {
  char* s = Slot(buffer, slot);
  char* old;
  std::memcpy(&old, s + 4, sizeof old);
  delete[] old;
  char* copy = new char[content.size() + 1];
  std::memcpy(copy, content.data(), content.size());
  copy[content.size()] = '\0';
  const int32_t length = int32_t(content.size());
  std::memcpy(s, &length, 4);
  std::memcpy(s + 4, &copy, sizeof copy);
}

std::string TMarvekTable::SlotContent(TRecordBuffer buffer, int slot) const {
  const char* s = Slot(buffer, slot);
  int32_t length;
  const char* content;
  std::memcpy(&length, s, 4);
  std::memcpy(&content, s + 4, sizeof content);
  return content ? std::string(content, size_t(length)) : std::string();
}

}  // namespace tavrik
