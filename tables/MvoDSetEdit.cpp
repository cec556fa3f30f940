// TMarvekTable: writing field values into a buffer, encoding a buffer into the record image, and
// the editing steps: append, post, add a whole record, edit under a record lock, cancel, delete,
// and storing memo and blob contents.
//
// Record image encoding of each bound field, at its offset over its width W:
//   string     the text, blanks up to W                       empty: W blanks
//   integers   decimal, right-aligned in W                    empty: W blanks
//   boolean    "T" / "F"                                      empty: one blank
//   float      fixed-point with the field's decimals and "." right-aligned in W
//   date       "yyyymmdd"; a year below 100 is placed by the Epoch    empty: 8 blanks
//   memo/blob  the 10-character block reference of its blob slot
// A number whose text is wider than W raises "Translate error. Value out of bounds"; a date of
// day 0 (one that was stored without a valid date) keeps the bytes it was read with.
#include <cstdio>
#include <cstring>

#include "core/StrUtils.h"

#include "tables/MvoDSet.h"
#include "tables/MvoEnv.h"

namespace tavrik {

namespace {

constexpr const char* kOutOfBounds = "Translate error. Value out of bounds";

template <class T>
T Get(const char* at) {
  T value;
  std::memcpy(&value, at, sizeof(T));
  return value;
}

std::string RightAligned(const std::string& text, int width) {
  if (int(text.size()) > width) throw EMarvekError(kOutOfBounds);
  return std::string(size_t(width) - text.size(), ' ') + text;
}

int EnvironmentEpoch(TAccessMethod method) {
  TMarvekSearchObject search;
  TMarvekEnv* env = search.Next<TMarvekEnv>();
  return env ? env->SettingsFor(method).Epoch : TMarvekEnvSettings().Epoch;
}

}  // namespace

// ---- field values ----

void TMarvekTable::SetFieldData(TField& field, const void* buffer) {
  const TDataSetState state = State();
  const bool calculating = state == TDataSetState::dsCalcFields && field.Calculated();
  if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert && state != TDataSetState::dsSetKey &&
      !calculating)
    Error("Data set must be in Edit or Insert mode to update");
  if (field.OnValidate) field.OnValidate(field);
  TRecordBuffer record = StateBuffer();
  char* has;
  if (field.Calculated()) has = record + calc_offset_ + field.Offset();
  else if (field.FieldNo() >= 1 && infos_[size_t(field.FieldNo() - 1)].BufferOffset >= 0)
    has = record + infos_[size_t(field.FieldNo() - 1)].BufferOffset;
  else Error("Field '" + field.FieldName() + "' is not bound to the table");
  *has = buffer ? 1 : 0;
  if (buffer) std::memcpy(has + 1, buffer, size_t(field.DataSize()));
  else std::memset(has + 1, 0, size_t(field.DataSize()));
  if (state != TDataSetState::dsCalcFields && state != TDataSetState::dsFilter && state != TDataSetState::dsNewValue)
    DataEvent(TDataEvent::deFieldChange, &field);
}

// ---- encoding ----

TMarvekTable::TEncoded TMarvekTable::EncodeRecord(TRecordBuffer buffer) {
  TEncoded out;
  int epoch = -1;
  for (int i = 0; i < FieldCount(); ++i) {
    const TField& field = Fields(i);
    if (field.FieldNo() < 1) continue;
    const TFieldInfo& info = infos_[size_t(field.FieldNo() - 1)];
    if (info.Type == '?') continue;
    const char* has = buffer + info.BufferOffset;
    const char* value = has + 1;
    const bool present = *has != 0;
    const int w = info.Width;
    std::string bytes;
    switch (field.DataType()) {
      case TFieldType::ftString: {
        bytes = present ? std::string(value, strnlen(value, size_t(field.Size()))) : std::string();
        bytes.resize(size_t(w), ' ');
        break;
      }
      case TFieldType::ftSmallint:
        bytes = present ? RightAligned(std::to_string(Get<int16_t>(value)), w) : std::string(size_t(w), ' ');
        break;
      case TFieldType::ftInteger:
        bytes = present ? RightAligned(std::to_string(Get<int32_t>(value)), w) : std::string(size_t(w), ' ');
        break;
      case TFieldType::ftBoolean:
        bytes.assign(1, present ? (Get<uint16_t>(value) ? 'T' : 'F') : ' ');
        break;
      case TFieldType::ftFloat: {
        if (!present) {
          bytes.assign(size_t(w), ' ');
          break;
        }
        char text[512];
        const int n = std::snprintf(text, sizeof text, "%*.*f", w, info.Decimals, Get<double>(value));
        // A number wider than its field would run over the next field.
        if (n < 0 || n > w) throw EMarvekError(kOutOfBounds);
        bytes = text;
        break;
      }
      case TFieldType::ftDate: {
        if (!present) {
          bytes.assign(8, ' ');
          break;
        }
        const int32_t day = Get<int32_t>(value);
        if (day == 0) continue;  // no valid date was read: the stored bytes stay as they are
        TDateParts d = DecodeDayNumber(day);
        if (d.year < 100) {
          if (epoch < 0) epoch = EnvironmentEpoch(access_method_);
          d.year += epoch / 100 * 100;
          if (d.year < epoch) d.year += 100;
          else if (epoch + 100 < d.year) d.year -= 100;
        }
        char text[16];
        std::snprintf(text, sizeof text, "%04d%02d%02d", d.year, d.month, d.day);
        bytes = text;
        break;
      }
      case TFieldType::ftMemo:
      case TFieldType::ftBlob:
        bytes.assign(Slot(buffer, info.BlobSlot) + kSlotReference, 10);
        break;
      default:
        continue;
    }
    bytes.resize(std::min(bytes.size(), size_t(w)));
    out.emplace_back(info.ImageOffset, std::move(bytes));
  }
  return out;
}

// Puts the encoded fields into the record image and stores it over the engine's current record.
void TMarvekTable::StoreRecord(const TEncoded& encoded, bool is_new) {
  TMvEngine& e = Engine();
  Select();
  // A new record starts blank: no byte of it may come from a record read earlier.
  if (is_new) image_.assign(size_t(record_size_), ' ');
  if (BoundFieldCount() != field_count_) e.GetRecord(image_);
  for (const auto& [offset, bytes] : encoded) image_.replace(size_t(offset), bytes.size(), bytes);
  if (is_new) {
    image_[0] = ' ';
  } else {
    GoRecord(cur_recno_);
    if (e.Deleted()) image_[0] = '*';
  }
  e.PutRecord(image_);
}

void TMarvekTable::WriteBlobs(TRecordBuffer buffer) {
  TMvEngine& e = Engine();
  for (const TFieldInfo& info : infos_) {
    if (info.BlobSlot < 0 || uint8_t(Slot(buffer, info.BlobSlot)[kSlotModified]) == 0) continue;
    const std::string content = SlotContent(buffer, info.BlobSlot);
    if (info.Type == 'M') {
      e.ReplaceMemo(info.Name, content);
    } else if (e.PutBlob(info.Name, content) != int(content.size())) {
      Error("Blob Write Error");
    }
  }
}

int TMarvekTable::TrailerFromEngine() {
  TMvEngine& e = Engine();
  const bool at_end = e.Eof();
  const int record = e.RecNo();
  SetTrailer(ActiveBuffer(), record, at_end ? TBookmarkFlag::bfEOF : TBookmarkFlag::bfCurrent);
  return record;
}

// ---- append, post, add ----

void TMarvekTable::Append() {
  if (!speed_mode_) {
    TDataSet::Append();
  } else {
    if (read_only_) Error("Cannot modify a read-only data set");
    if (WorkAreaOpen()) {
      Select();
      TMvEngine& e = Engine();
      e.AppendBlank();
      cur_recno_ = e.RecNo();
      record_count_ = e.RecCount();
      appended_already_ = true;
    }
  }
  count_needs_refresh_ = true;
}

void TMarvekTable::DoBeforeInsert() {
  TDataSet::DoBeforeInsert();
  if (WorkAreaOpen()) {
    Select();
    remembered_recno_ = TrailerRecNo(ActiveBuffer());
  }
}

void TMarvekTable::DoAfterInsert() {
  if (State() == TDataSetState::dsInsert) {
    Select();
    SetTrailer(ActiveBuffer(), -1, TBookmarkFlag::bfEOF);
  }
  TDataSet::DoAfterInsert();
}

void TMarvekTable::DoOnNewRecord() {
  // A new detail record belongs to the master record it is made under.
  if (TDataSet* master = master_link_.Active() ? master_link_.DataSet() : nullptr)
    for (TField* f : master->GetFieldList(master_fields_))
      if (TField* mine = FindField(f->FieldName())) mine->SetValue(f->Value());
  TDataSet::DoOnNewRecord();
}

void TMarvekTable::InternalPost() {
  if (!WorkAreaOpen()) return;
  Select();
  TMvEngine& e = Engine();
  // Every value is encoded before anything is sent, so a value that does not fit adds no row.
  const TEncoded encoded = EncodeRecord(ActiveBuffer());
  const bool inserting = State() == TDataSetState::dsInsert;
  if (inserting && !appended_already_) {
    count_needs_refresh_ = true;
    if (appended_recno_ == 0) {
      e.AppendBlank();
      cur_recno_ = e.RecNo();
      appended_recno_ = cur_recno_;
      record_count_ = e.RecCount();
    } else {
      // A post that failed after appending: its blank record is the one to write.
      GoRecord(appended_recno_);
    }
  }
  StoreRecord(encoded, inserting);
  WriteBlobs(ActiveBuffer());
  e.Commit();
  e.Unlock(0);
  if (!speed_mode_) cur_recno_ = TrailerFromEngine();
  remembered_recno_ = 0;
  appended_already_ = false;
  appended_recno_ = 0;
}

void TMarvekTable::InternalAddRecord(TRecordBuffer buffer, bool) {
  if (read_only_) Error("Cannot modify a read-only data set");
  if (!WorkAreaOpen()) return;
  Select();
  TMvEngine& e = Engine();
  const TEncoded encoded = EncodeRecord(buffer);
  e.AppendBlank();
  cur_recno_ = e.RecNo();
  record_count_ = e.RecCount();
  count_needs_refresh_ = true;
  StoreRecord(encoded, true);
  e.Commit();
  // AppendBlank locked the new record; others may change it once it is stored.
  e.Unlock(0);
  cur_recno_ = TrailerFromEngine();
}

// ---- edit, cancel, delete ----

void TMarvekTable::InternalEdit() {
  if (!WorkAreaOpen()) return;
  Select();
  TMvEngine& e = Engine();
  const int record = speed_mode_ ? e.RecNo() : TrailerRecNo(ActiveBuffer());
  if (!e.Rlock(record)) Error("Record Lock Failure. May be locked by another user or task.");
  if (record == -1) return;
  // The edit starts from the stored values, which another user may have changed.
  GoRecord(record);
  if (e.GetRecord(image_)) DecodeRecord(ActiveBuffer());
}

void TMarvekTable::InternalCancel() {
  if (!WorkAreaOpen()) return;
  if (!SessionGone()) Select();
  if (remembered_recno_ != 0) SetTrailer(ActiveBuffer(), remembered_recno_, TBookmarkFlag::bfCurrent);
  remembered_recno_ = 0;
  appended_recno_ = 0;
  appended_already_ = false;
}

void TMarvekTable::Cancel() {
  TDataSet::Cancel();
  if (WorkAreaOpen() && !SessionGone()) {
    Select();
    Engine().Unlock(0);
  }
}

void TMarvekTable::InternalDelete() {
  if (read_only_) Error("Cannot modify a read-only data set");
  if (!WorkAreaOpen()) return;
  Select();
  TMvEngine& e = Engine();
  bool empty = IsEmpty();
  if (speed_mode_) {
    const int record = e.RecNo();
    empty = record < 1 || record > e.RecCount();
  }
  if (empty) Error("Cannot perform this operation on an empty table");
  if (!speed_mode_) {
    CursorPosChanged();
    UpdateCursorPos();
  }
  if (UpperCase(e.IndexCondition()).find("DELETED()") != std::string::npos || e.SysProp(1006, 0) != 0) {
    // The deleted record disappears from view: the dataset moves on to its follower.
    const int record = e.RecNo();
    e.Skip(1);
    const int follower = e.Eof() ? -1 : e.RecNo();
    GoRecord(record);
    e.Delete();
    if (follower == -1) e.GoBottom();
    else GoRecord(follower);
  } else {
    e.Delete();
  }
  if (!speed_mode_) TrailerFromEngine();
  count_needs_refresh_ = true;
  filled_ = -1;
}

}  // namespace tavrik
