#include "xbase/WorkArea.h"

#include <chrono>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "core/StrUtils.h"
#include "platform/CodePage.h"
#include "xbase/DbfFields.h"
#include "xbase/FieldCodec.h"
#include "xbase/TableError.h"
#include "xbase/XbDate.h"

namespace tavrik::xbase {

namespace {

template <typename T>
T FromBytes(std::string_view value, const std::string& field) {
  if (value.size() != sizeof(T))
    throw ETableError("Replace of field " + field + " needs " + std::to_string(sizeof(T)) + " value bytes, not " +
                      std::to_string(value.size()));
  T v;
  std::memcpy(&v, value.data(), sizeof(T));
  return v;
}

}  // namespace

TWorkArea::TWorkArea(const std::string& path, std::string alias, TOpenMode mode, int table_type,
                     TCommitLevel commit_level, const TEngineSettings& settings)
    : table_(TTableRegistry::Instance().Acquire(path, mode)),
      alias_(std::move(alias)),
      mode_(mode),
      table_type_(table_type),
      commit_level_(commit_level),
      settings_(settings),
      owner_(NewLockOwner()),
      natural_(*table_) {
  try {
    GoTop();
  } catch (...) {
    Release();
    throw;
  }
}

TWorkArea::~TWorkArea() { Release(); }

void TWorkArea::Release() noexcept {
  if (!table_) return;
  try {
    table_->Locks().UnlockAll(owner_);
    TTableRegistry::Instance().Release(table_);
  } catch (...) {
  }
  table_.reset();
}

void TWorkArea::Close() {
  if (!table_) return;
  std::shared_ptr<TTable> table = std::move(table_);
  table->Locks().UnlockAll(owner_);
  TTableRegistry::Instance().Release(table);
}

const TFieldInfo& TWorkArea::FieldByName(std::string_view name) const {
  const std::string upper = UpperCase(Trim(name));
  const int i = table_->FieldIndex(upper);
  if (i < 0) throw ETableError("Field " + upper + " does not exist in " + alias_);
  return table_->Fields()[size_t(i)];
}

const TFieldInfo& TWorkArea::FieldByNumber(int number) const {
  if (number < 1 || number > FieldCount())
    throw ETableError("Field number " + std::to_string(number) + " does not exist in " + alias_);
  return table_->Fields()[size_t(number - 1)];
}

// ---- navigation ----

void TWorkArea::Load(uint32_t recno) {
  image_ = table_->ReadRecord(recno);
  recno_ = recno;
}

void TWorkArea::GoPhantom() {
  recno_ = table_->RecCount() + 1;
  image_ = table_->BlankRecord();
  eof_ = true;
}

bool TWorkArea::Visible() const {
  if (eof_) return false;
  if (settings_.deleted && image_[0] == '*') return false;
  return !filter_ || filter_(*this);
}

bool TWorkArea::SettleForward(uint32_t recno) {
  while (recno != 0) {
    Load(recno);
    if (Visible()) return true;
    const uint32_t next = Order().Next(recno, image_);
    if (next == recno) return false;  // an order that does not move has ended
    recno = next;
  }
  return false;
}

bool TWorkArea::SettleBackward(uint32_t recno) {
  while (recno != 0) {
    Load(recno);
    if (Visible()) return true;
    const uint32_t prior = Order().Prior(recno, image_);
    if (prior == recno) return false;
    recno = prior;
  }
  return false;
}

void TWorkArea::GoTop() {
  bof_ = eof_ = false;
  if (!SettleForward(Order().First())) {
    GoPhantom();
    bof_ = true;
  }
}

void TWorkArea::GoBottom() {
  bof_ = eof_ = false;
  if (!SettleBackward(Order().Last())) {
    GoPhantom();
    bof_ = true;
  }
}

void TWorkArea::Skip(int64_t count) {
  if (count == 0) {
    if (!eof_) Load(recno_);
    return;
  }
  if (count > 0) {
    bof_ = false;
    for (; count > 0 && !eof_; --count) {
      const uint32_t next = Order().Next(recno_, image_);
      if (next == recno_ || !SettleForward(next)) GoPhantom();
    }
    return;
  }
  for (; count < 0; ++count) {
    const bool from_phantom = eof_;
    const uint32_t prior = from_phantom ? Order().Last() : Order().Prior(recno_, image_);
    eof_ = false;
    if ((!from_phantom && prior == recno_) || !SettleBackward(prior)) {
      GoTop();  // before the first: on the first, with Bof
      bof_ = true;
      return;
    }
    bof_ = false;
  }
}

uint32_t TWorkArea::Go(int64_t recno) {
  bof_ = eof_ = false;
  const bool exists = recno >= 1 && recno <= int64_t(std::numeric_limits<uint32_t>::max()) &&
                      (uint32_t(recno) <= table_->RecCount() || uint32_t(recno) <= table_->RefreshRecCount());
  if (exists)
    Load(uint32_t(recno));
  else
    GoPhantom();
  return recno_;
}

// ---- records ----

std::string TWorkArea::ToAnsi(std::string text) const {
  return settings_.translate ? platform::OemToAnsi(text) : text;
}

std::string TWorkArea::ToOem(std::string text) const {
  return settings_.translate ? platform::AnsiToOem(text) : text;
}

void TWorkArea::CheckWritableRecord() const {
  if (mode_ == TOpenMode::read_only) throw ETableError("Table " + alias_ + " is open read-only");
  if (eof_) throw ETableError("No current record in " + alias_ + " (end of file)");
}

std::string TWorkArea::GetRecord() const {
  if (!settings_.translate) return image_;
  std::string image = image_;
  for (const TFieldInfo& f : table_->Fields())
    if (f.type == 'C') image.replace(size_t(f.offset), size_t(f.width), ToAnsi(std::string(FieldText(image_, f))));
  return image;
}

void TWorkArea::PutRecord(std::string_view image) {
  CheckWritableRecord();
  if (image.size() != RecordSize())
    throw ETableError("A record of " + alias_ + " has " + std::to_string(RecordSize()) + " bytes, not " +
                      std::to_string(image.size()));
  std::string stored(image);
  if (settings_.translate)
    for (const TFieldInfo& f : table_->Fields())
      if (f.type == 'C') stored.replace(size_t(f.offset), size_t(f.width), ToOem(std::string(FieldText(image, f))));
  image_ = table_->WriteRecord(recno_, stored, owner_);
}

uint32_t TWorkArea::AppendBlank() {
  if (mode_ == TOpenMode::read_only) throw ETableError("Table " + alias_ + " is open read-only");
  const uint32_t recno = table_->AppendBlank(owner_);
  recno_ = recno;
  image_ = table_->BlankRecord();
  bof_ = eof_ = false;
  return recno;
}

void TWorkArea::Delete() {
  CheckWritableRecord();
  image_ = table_->UpdateRecord(recno_, owner_, [](std::string& r) { r[0] = '*'; });
}

void TWorkArea::Recall() {
  CheckWritableRecord();
  image_ = table_->UpdateRecord(recno_, owner_, [](std::string& r) { r[0] = ' '; });
}

void TWorkArea::Commit() {
  if (commit_level_ == TCommitLevel::none) return;
  table_->Flush(commit_level_ == TCommitLevel::full);
}

// ---- fields ----

std::string TWorkArea::GetTrimString(std::string_view field) const {
  const TFieldInfo& f = FieldByName(field);
  const std::string_view text = FieldText(image_, f);
  switch (f.type) {
    case 'C': return ToAnsi(TrimRight(text));
    case 'M': return ToAnsi(TrimRight(table_->ReadMemo(image_, f).bytes));
    case 'B': case 'G': case 'P':
      throw ETableError("Field " + f.name + " holds binary data; read it with GetBlob");
    default: return Trim(text);
  }
}

double TWorkArea::GetDouble(std::string_view field) const {
  const TFieldInfo& f = FieldByName(field);
  const std::string_view text = FieldText(image_, f);
  switch (f.type) {
    case 'N': case 'F': case 'C': return ValNumber(text);
    case 'D': return DateToDayNumber(ParseDtos(text).value_or(TXbDate{}));
    case 'L': return text == "T" || text == "t" || text == "Y" || text == "y" ? 1 : 0;
    default: throw ETableError("Field " + f.name + " is not numeric");
  }
}

int32_t TWorkArea::GetInteger(std::string_view field) const {
  const double v = std::trunc(GetDouble(field));
  if (!(v >= double(std::numeric_limits<int32_t>::min()) && v <= double(std::numeric_limits<int32_t>::max())))
    throw ETableError("The value of field " + FieldByName(field).name + " does not fit a 32-bit integer");
  return int32_t(v);
}

std::string TWorkArea::GetDateString(std::string_view field) const {
  const TFieldInfo& f = FieldByName(field);
  if (f.type != 'D') throw ETableError("Field " + f.name + " is not a date field");
  return FormatDate(ParseDtos(FieldText(image_, f)).value_or(TXbDate{}), settings_);
}

std::string TWorkArea::GetMemo(std::string_view field, int line_width) const {
  const TFieldInfo& f = FieldByName(field);
  if (!IsMemoType(f.type)) throw ETableError("Field " + f.name + " is not a memo field");
  TMemoData memo = table_->ReadMemo(image_, f);
  if (f.type != 'M') return memo.bytes;
  return WrapLines(ToAnsi(std::move(memo.bytes)), line_width);
}

std::string TWorkArea::GetBlob(std::string_view field) const {
  const TFieldInfo& f = FieldByName(field);
  if (!IsMemoType(f.type)) throw ETableError("Field " + f.name + " is not a memo field");
  TMemoData memo = table_->ReadMemo(image_, f);
  return f.type == 'M' ? ToAnsi(std::move(memo.bytes)) : std::move(memo.bytes);
}

uint32_t TWorkArea::GetBlobLength(std::string_view field) const { return uint32_t(GetBlob(field).size()); }

void TWorkArea::WriteMemo(const TFieldInfo& f, std::string bytes) {
  const TMemoType type = f.type == 'M' ? TMemoType::text : f.type == 'G' ? TMemoType::object : TMemoType::binary;
  if (f.type == 'M') bytes = ToOem(std::move(bytes));
  image_ = table_->WriteMemo(recno_, table_->FieldIndex(f.name), TMemoData{type, std::move(bytes)}, owner_);
}

uint32_t TWorkArea::PutBlob(std::string_view field, std::string_view data) {
  const TFieldInfo& f = FieldByName(field);
  if (!IsMemoType(f.type)) throw ETableError("Field " + f.name + " is not a memo field");
  CheckWritableRecord();
  WriteMemo(f, std::string(data));
  return uint32_t(data.size());
}

void TWorkArea::WriteField(const TFieldInfo& f, const std::string& text) {
  image_ = table_->UpdateRecord(recno_, owner_, [&](std::string& r) { r.replace(size_t(f.offset), size_t(f.width), text); });
}

void TWorkArea::Replace(std::string_view field, int type_code, std::string_view value) {
  const TFieldInfo& f = FieldByName(field);
  CheckWritableRecord();
  const bool memo = IsMemoType(f.type);
  switch (type_code) {
    case rtText: case rtFixedText: case rtValueText: case rtMemoText: {
      if (memo) return WriteMemo(f, std::string(value));
      const std::string text = f.type == 'C' ? ToOem(std::string(value)) : std::string(value);
      return WriteField(f, TextToFieldText(text, f, settings_));
    }
    case rtInteger: case rtSmallInt: case rtUnsigned: case rtDouble: case rtLogical: break;
    default: throw ETableError("Unknown value type code " + std::to_string(type_code) + " for field " + f.name);
  }
  if (memo) throw ETableError("Field " + f.name + " is a memo field and takes only text");
  if (type_code == rtLogical) {
    if (value.size() != 1) throw ETableError("Replace of field " + f.name + " needs 1 value byte, not " + std::to_string(value.size()));
    const bool on = value[0] != 0;
    switch (f.type) {
      case 'L': return WriteField(f, LogicalFieldText(on));
      case 'C': return WriteField(f, CharacterFieldText(LogicalFieldText(on), f));
      case 'N': case 'F': return WriteField(f, IntegerFieldText(on ? 1 : 0, f));
      default: throw ETableError("Field " + f.name + " of type " + std::string(1, f.type) + " does not take a logical value");
    }
  }
  // A number: integers exactly, doubles as they print.
  const bool is_double = type_code == rtDouble;
  int64_t whole = 0;
  double real = 0;
  if (is_double) {
    real = FromBytes<double>(value, f.name);
  } else if (type_code == rtUnsigned) {
    whole = FromBytes<uint32_t>(value, f.name);
  } else {
    whole = FromBytes<int32_t>(value, f.name);
  }
  switch (f.type) {
    case 'N': case 'F':
      return WriteField(f, is_double ? NumberFieldText(real, f) : IntegerFieldText(whole, f));
    case 'C': {
      std::string text;
      if (is_double) {
        if (!std::isfinite(real)) throw ETableError("Value does not fit field " + f.name);
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", real);
        text = buf;
      } else {
        text = std::to_string(whole);
      }
      if (text.size() > size_t(f.width))
        throw ETableError("Value " + text + " does not fit field " + f.name + " (C " + std::to_string(f.width) + ",0)");
      return WriteField(f, CharacterFieldText(text, f));
    }
    case 'L': return WriteField(f, LogicalFieldText(is_double ? real != 0 : whole != 0));
    case 'D': {
      const double day = is_double ? std::trunc(real) : double(whole);
      if (day == 0) return WriteField(f, std::string(8, ' '));
      const TXbDate date = day > 0 && day <= 3652059 ? DayNumberToDate(int32_t(day)) : TXbDate{};
      if (date.IsBlank()) throw ETableError("Day number " + std::to_string(int64_t(day)) + " is not a date for field " + f.name);
      return WriteField(f, DateFieldText(date));
    }
    default: throw ETableError("Field " + f.name + " of type " + std::string(1, f.type) + " does not take a number");
  }
}

// ---- locks ----

bool TWorkArea::Rlock(uint32_t recno) {
  if (recno == 0) {
    if (eof_) throw ETableError("No current record in " + alias_ + " (end of file)");
    recno = recno_;
  }
  if (recno > table_->RecCount() && recno > table_->RefreshRecCount())
    throw ETableError("Record " + std::to_string(recno) + " does not exist in " + alias_);
  // A file this process may only read cannot carry a lock other processes would respect.
  if (!table_->Writable()) throw ETableError("Table " + alias_ + " is open read-only");
  const auto wait = std::chrono::milliseconds(int64_t(std::max(settings_.lock_timeout, 0)) * 1000);
  if (!table_->Locks().Lock(recno, owner_, wait)) return false;
  // What another work area wrote before letting go is what this one now edits.
  if (recno == recno_ && !eof_) Load(recno);
  return true;
}

void TWorkArea::Unlock(uint32_t recno) {
  if (recno == 0)
    table_->Locks().UnlockAll(owner_);
  else
    table_->Locks().Unlock(recno, owner_);
}

std::vector<uint32_t> TWorkArea::Locks() const { return table_->Locks().LocksOf(owner_); }

}  // namespace tavrik::xbase
