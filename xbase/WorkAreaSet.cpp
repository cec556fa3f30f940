#include "xbase/WorkAreaSet.h"

#include "core/StrUtils.h"
#include "platform/Paths.h"
#include "xbase/MemoFile.h"
#include "xbase/TableCreate.h"
#include "xbase/TableError.h"
#include "xbase/XbDate.h"

namespace tavrik::xbase {

namespace {

bool ValidAlias(const std::string& alias) {
  if (alias.empty() || alias.size() > 255) return false;
  for (char c : alias)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '$')) return false;
  return true;
}

}  // namespace

std::string ResolveTablePath(const std::string& file) {
  if (platform::IsRegularFile(file)) return file;
  const std::string dir = platform::FolderOf(file);
  const std::string name = platform::FileNameOf(file);
  const bool has_ext = name.find('.') != std::string::npos;
  for (const std::string& candidate : has_ext ? std::vector<std::string>{name} : std::vector<std::string>{name + ".DBF", name + ".dbf"}) {
    const std::string path = dir.empty() ? candidate : dir + "/" + candidate;
    if (platform::IsRegularFile(path)) return path;
    const std::string other = platform::FindEntryIgnoringCase(dir, candidate);
    if (!other.empty()) return dir.empty() ? other : dir + "/" + other;
  }
  return has_ext ? file : file + ".DBF";
}

TWorkAreaSet::~TWorkAreaSet() { CloseAll(); }

// ---- opening and choosing ----

int TWorkAreaSet::Open(const std::string& file, const std::string& alias, int open_mode, int table_type, int commit_level) {
  if (Trim(file).empty()) throw ETableError("No table file named");
  if (open_mode < 0 || open_mode > 2) throw ETableError("Unknown open mode " + std::to_string(open_mode));
  MemoKindOfTableType(table_type);  // refuses unknown table types
  if (commit_level < 0 || commit_level > 2) throw ETableError("Unknown commit level " + std::to_string(commit_level));
  const std::string path = ResolveTablePath(file);
  const std::string name = UpperCase(Trim(alias).empty() ? platform::StemOf(path) : Trim(alias));
  if (!ValidAlias(name)) throw ETableError("Invalid alias '" + name + "'");
  if (by_alias_.count(name)) throw ETableError("Alias " + name + " is already in use");
  const int number = free_.empty() ? next_ : *free_.begin();
  if (number > kMaxWorkArea) throw ETableError("No free work area");
  auto area = std::make_unique<TWorkArea>(path, name, TOpenMode(open_mode), table_type, TCommitLevel(commit_level),
                                          defaults_);
  areas_.emplace(number, std::move(area));
  by_alias_.emplace(name, number);
  if (number == next_)
    ++next_;
  else
    free_.erase(free_.begin());
  return number;
}

int TWorkAreaSet::Use(const std::string& file, const std::string& alias, int open_mode, int table_type, int commit_level) {
  const int number = Open(file, alias, open_mode, table_type, commit_level);
  current_ = number;
  return number;
}

int TWorkAreaSet::UseEx(const std::string& file, const std::string& alias, int open_mode, int table_type, int commit_level) {
  return Open(file, alias, open_mode, table_type, commit_level);
}

std::string TWorkAreaSet::Alias(int work_area) const {
  const TWorkArea* area = Find(work_area);
  return area ? area->Alias() : std::string();
}

int TWorkAreaSet::Select(int work_area) {
  if (work_area < 0 || work_area > kMaxWorkArea) throw ETableError("Invalid work area " + std::to_string(work_area));
  const int previous = current_;
  current_ = work_area;
  return previous;
}

int TWorkAreaSet::WorkArea(std::string_view alias) const {
  auto it = by_alias_.find(UpperCase(Trim(alias)));
  return it == by_alias_.end() ? 0 : it->second;
}

void TWorkAreaSet::Close() {
  auto it = areas_.find(current_);
  if (it == areas_.end()) return;
  std::unique_ptr<TWorkArea> area = std::move(it->second);
  areas_.erase(it);
  by_alias_.erase(area->Alias());
  free_.insert(current_);
  area->Close();
}

void TWorkAreaSet::CloseAll() {
  // Each work area's destructor releases its locks and its table.
  areas_.clear();
  by_alias_.clear();
  free_.clear();
  next_ = 1;
}

TWorkArea* TWorkAreaSet::Find(int work_area) const {
  auto it = areas_.find(work_area);
  return it == areas_.end() ? nullptr : it->second.get();
}

TWorkArea& TWorkAreaSet::CurrentArea() {
  TWorkArea* area = Find(current_);
  if (!area) throw ETableError("No table is open in work area " + std::to_string(current_));
  return *area;
}

// ---- records ----

int TWorkAreaSet::AppendBlank() { return int(CurrentArea().AppendBlank()); }
bool TWorkAreaSet::Bof() { return CurrentArea().Bof(); }
bool TWorkAreaSet::Eof() { return CurrentArea().Eof(); }
void TWorkAreaSet::Commit() { CurrentArea().Commit(); }
void TWorkAreaSet::Delete() { CurrentArea().Delete(); }
bool TWorkAreaSet::Deleted() { return CurrentArea().Deleted(); }
void TWorkAreaSet::GoTop() { CurrentArea().GoTop(); }
void TWorkAreaSet::GoBottom() { CurrentArea().GoBottom(); }
void TWorkAreaSet::Skip(int count) { CurrentArea().Skip(count); }
int TWorkAreaSet::Go(int64_t recno) { return int(CurrentArea().Go(recno)); }
int TWorkAreaSet::RecNo() { return int(CurrentArea().RecNo()); }
int TWorkAreaSet::RecCount() { return int(CurrentArea().RecCount()); }
std::string TWorkAreaSet::GetRecord() { return CurrentArea().GetRecord(); }
void TWorkAreaSet::PutRecord(std::string_view image) { CurrentArea().PutRecord(image); }
void TWorkAreaSet::Replace(std::string_view field, int type_code, std::string_view value) {
  CurrentArea().Replace(field, type_code, value);
}

bool TWorkAreaSet::Rlock(int recno) {
  if (recno < 0) throw ETableError("Record " + std::to_string(recno) + " does not exist in " + CurrentArea().Alias());
  return CurrentArea().Rlock(uint32_t(recno));
}

void TWorkAreaSet::Unlock(int recno) {
  if (recno < 0) throw ETableError("Record " + std::to_string(recno) + " does not exist in " + CurrentArea().Alias());
  CurrentArea().Unlock(uint32_t(recno));
}

// ---- fields ----

std::string TWorkAreaSet::FieldName(int number) { return CurrentArea().FieldByNumber(number).name; }
std::string TWorkAreaSet::FieldType(std::string_view field) { return std::string(1, CurrentArea().FieldByName(field).type); }
int TWorkAreaSet::FieldWidth(std::string_view field) { return CurrentArea().FieldByName(field).width; }
int TWorkAreaSet::FieldDecimals(std::string_view field) { return CurrentArea().FieldByName(field).decimals; }
int TWorkAreaSet::FieldOffset(std::string_view field) { return CurrentArea().FieldByName(field).offset + 1; }
int TWorkAreaSet::FieldCount() { return CurrentArea().FieldCount(); }
int TWorkAreaSet::RecordSize() { return int(CurrentArea().RecordSize()); }

std::string TWorkAreaSet::GetStructure() {
  std::string text;
  for (const TFieldInfo& f : CurrentArea().Table().Fields()) {
    text += f.name + "\r\n";
    text += std::string(1, f.type) + "\r\n";
    text += IntToHex(f.width, 1) + "\r\n";
    text += IntToHex(f.decimals, 1) + "\r\n";
    text += IntToHex(f.offset + 1, 1) + "\r\n";
  }
  return text;
}

std::string TWorkAreaSet::GetTrimString(std::string_view field) { return CurrentArea().GetTrimString(field); }
int TWorkAreaSet::GetInteger(std::string_view field) { return CurrentArea().GetInteger(field); }
double TWorkAreaSet::GetDouble(std::string_view field) { return CurrentArea().GetDouble(field); }
std::string TWorkAreaSet::GetDateString(std::string_view field) { return CurrentArea().GetDateString(field); }
std::string TWorkAreaSet::GetMemo(std::string_view field, int line_width) { return CurrentArea().GetMemo(field, line_width); }
std::string TWorkAreaSet::GetBlob(std::string_view field) { return CurrentArea().GetBlob(field); }
int TWorkAreaSet::GetBlobLength(std::string_view field) { return int(CurrentArea().GetBlobLength(field)); }
int TWorkAreaSet::PutBlob(std::string_view field, std::string_view data) { return int(CurrentArea().PutBlob(field, data)); }

bool TWorkAreaSet::IsEncrypted(int) {
  CurrentArea();  // asked of a closed work area, it is an error
  return false;
}

// ---- settings ----

template <typename F>
void TWorkAreaSet::ChangeSetting(F change) {
  change(defaults_);
  if (TWorkArea* area = Find(current_)) change(area->MutableSettings());
}

const TEngineSettings& TWorkAreaSet::Settings() {
  if (TWorkArea* area = Find(current_)) return area->Settings();
  return defaults_;
}

void TWorkAreaSet::SetCentury(bool on) { ChangeSetting([&](TEngineSettings& s) { s.century = on; }); }

void TWorkAreaSet::SetDateFormat(int code) {
  if (!IsKnownDateFormat(code)) throw ETableError("Unknown date format " + std::to_string(code));
  ChangeSetting([&](TEngineSettings& s) { s.date_format = code; });
}

void TWorkAreaSet::SetDeleted(bool on) { ChangeSetting([&](TEngineSettings& s) { s.deleted = on; }); }

int TWorkAreaSet::SetEpoch(int year) {
  if (year < 100 || year > 2999) throw ETableError("Epoch " + std::to_string(year) + " is not a year from 100 to 2999");
  ChangeSetting([&](TEngineSettings& s) { s.epoch = year; });
  return year;
}

void TWorkAreaSet::SetExact(bool on) { ChangeSetting([&](TEngineSettings& s) { s.exact = on; }); }
void TWorkAreaSet::SetSoftSeek(bool on) { ChangeSetting([&](TEngineSettings& s) { s.soft_seek = on; }); }

void TWorkAreaSet::SetLockTimeOut(int seconds) {
  ChangeSetting([&](TEngineSettings& s) { s.lock_timeout = seconds < 0 ? 0 : seconds; });
}

int TWorkAreaSet::SetMemoBlockSize(int size) {
  const int bytes = FptBlockSizeOf(size);
  if (bytes == 0) throw ETableError("Invalid memo block size " + std::to_string(size));
  ChangeSetting([&](TEngineSettings& s) { s.memo_block_size = size; });
  return bytes;
}

void TWorkAreaSet::SetTranslate(bool on) { ChangeSetting([&](TEngineSettings& s) { s.translate = on; }); }
void TWorkAreaSet::SetTurboRead(bool) {}
void TWorkAreaSet::SetPassword(const std::string&) {}

int TWorkAreaSet::SysProp(int code, int value) {
  switch (code) {
    case 1002: return Settings().exact ? 1 : 0;
    case 1003: {
      const int old = Settings().exact ? 1 : 0;
      SetExact((value & 0xFF) != 0);
      return old;
    }
    case 1006: return Settings().deleted ? 1 : 0;
    case 1008:
    case 1009: return 0;
    case 3000: return CurrentArea().Orders().Count();
    case 3002: {
      TOrderList& orders = CurrentArea().Orders();
      if (value < 0 || value > orders.Count())
        throw ETableError("Order " + std::to_string(value) + " does not exist in " + CurrentArea().Alias());
      return orders.Descending(value) ? 1 : 0;
    }
    default: throw ETableError("System property " + std::to_string(code) + " is not supported");
  }
}

std::string TWorkAreaSet::Version() const { return "MDE 6.10.01 64-bit"; }

void TWorkAreaSet::Create(const std::string& file, const std::string& fields, int table_type) {
  if (Trim(file).empty()) throw ETableError("No table file named");
  const bool has_ext = platform::FileNameOf(file).find('.') != std::string::npos;
  CreateTable(has_ext ? file : file + ".DBF", ParseFieldList(fields), table_type, defaults_.memo_block_size);
}

}  // namespace tavrik::xbase
