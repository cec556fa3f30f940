// TMarvekTable: fetching records (the server's batches through the fetch cache, the local
// engine's cursor), decoding a record image into a buffer, moving, record numbers and counts,
// bookmarks, resynchronising, and reading memo and blob contents.
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/StrUtils.h"
#include "platform/FormatSettings.h"
#include "tables/MvoDSet.h"

namespace tavrik {

namespace {

bool AllBlank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

template <class T>
void Put(char* at, T value) {
  std::memcpy(at, &value, sizeof(T));
}

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Decimal text with blanks around it, "." the separator; anything else (a "," among it) reads
// as 0. Every record of a browse passes here, so nothing is allocated.
double ParseFloat(std::string_view text) {
  const std::string_view t = TrimBlanks(text);
  double v = 0;
  const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), v);
  return error == std::errc() && end == t.data() + t.size() && std::isfinite(v) ? v : 0;
}

// A decimal integer with blanks before it; anything else reads as 0.
int32_t ParseInteger(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return 0;
  int32_t v = 0;
  const auto [end, error] = std::from_chars(text.data() + first, text.data() + text.size(), v);
  return error == std::errc() && end == text.data() + text.size() ? v : 0;
}

int Digits(std::string_view s) {
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

}  // namespace

// The content of a memo or blob field of one buffer, as a memory stream. Reading fetches the
// content once per buffer; a stream opened for writing gives its content to the buffer's blob
// slot when it goes, to be stored at the next post.
class TMvBlobStream : public TMemoryStream {
 public:
  TMvBlobStream(TMarvekTable& table, const TField& field, TBlobStreamMode mode)
      : table_(table), field_(field), mode_(mode), buffer_(table.StateBuffer()) {
    const TFieldInfo& info = table.infos_.at(size_t(field.FieldNo() - 1));
    slot_ = info.BlobSlot;
    if (!buffer_ || slot_ < 0) return;
    if (mode != TBlobStreamMode::bmRead &&
        table.State() != TDataSetState::dsEdit && table.State() != TDataSetState::dsInsert)
      table.Error("Data set must be in Edit or Insert mode to update");
    if (mode == TBlobStreamMode::bmWrite) return;
    const bool calculating = table.State() == TDataSetState::dsCalcFields;
    char* slot = table.Slot(buffer_, slot_);
    if (field.GetData(nullptr) || calculating) {
      if (table.State() == TDataSetState::dsOldValue || uint8_t(slot[TMarvekTable::kSlotLoaded]) == 0 || calculating ||
          table.SpeedMode())
        table.LoadBlob(buffer_, field, info);
    }
    WriteString(table.SlotContent(buffer_, slot_));
    SetPosition(0);
  }

  ~TMvBlobStream() override {
    if (mode_ == TBlobStreamMode::bmRead || !buffer_ || slot_ < 0) return;
    try {
      table_.SetSlotContent(buffer_, slot_, ToString());
      table_.Slot(buffer_, slot_)[TMarvekTable::kSlotModified] = char(255);
      table_.Slot(buffer_, slot_)[TMarvekTable::kSlotLoaded] = char(255);
      table_.DataEvent(TDataEvent::deFieldChange, const_cast<TField*>(&field_));
    } catch (const std::exception&) {
      // A handler of the change may fail; the content is in the slot all the same.
    }
  }

 private:
  TMarvekTable& table_;
  const TField& field_;
  TBlobStreamMode mode_;
  TRecordBuffer buffer_;
  int slot_ = -1;
};

std::unique_ptr<TStream> TMarvekTable::CreateBlobStream(const TField& field, TBlobStreamMode mode) {
  if (field.FieldNo() < 1 || size_t(field.FieldNo()) > infos_.size())
    Error("Field '" + field.FieldName() + "' is not a memo or blob field of the table");
  return std::make_unique<TMvBlobStream>(*this, field, mode);
}

void TMarvekTable::LoadBlob(TRecordBuffer buffer, const TField& field, const TFieldInfo& info) {
  const int record = TrailerRecNo(buffer);
  std::string content;
  if (record > 0) {
    Select();
    const int remembered = cur_recno_;
    GoRecord(record);
    TMvEngine& e = Engine();
    const bool ntx = table_type_ == TMarvekTableType::ttMXNTX;
    int length = ntx ? 0 : e.GetBlobLength(info.Name);
    if (field.DataType() == TFieldType::ftMemo && length < 65535) {
      content = e.GetMemo(info.Name, 0);
      if (ntx) length = int(content.size());
      if (content.size() > size_t(std::max(length, 0))) content.resize(size_t(std::max(length, 0)));
      if (!content.empty()) e.MemDealloc();
    } else if (length > 0) {
      e.GetBlob(info.Name, content, length);
    }
    if (remembered > 0) GoRecord(remembered);
  }
  SetSlotContent(buffer, info.BlobSlot, content);
  Slot(buffer, info.BlobSlot)[kSlotLoaded] = char(255);
}

// ---- fetching ----

TGetResult TMarvekTable::GetRecord(TRecordBuffer buffer, TGetMode mode, bool check) {
  Select();
  const bool was_top = go_top_;
  TGetResult result;
  for (;;) {
    result = Engine().BatchReads() ? FetchBatch(mode) : FetchLocal(mode);
    // A further fetch for a rejected record goes on from here, not from the top or bottom again.
    go_top_ = go_bottom_ = false;
    InternalInitRecord(buffer);
    if (result != TGetResult::grOK) break;
    DecodeRecord(buffer);
    SetTrailer(buffer, cur_recno_, TBookmarkFlag::bfCurrent);
    GetCalcFields(buffer);
    if (!OnFilterRecord || !Filtered() || FilterAccepts(buffer)) break;
    if (mode == TGetMode::gmCurrent) {
      result = was_top ? TGetResult::grBOF : TGetResult::grEOF;
      break;
    }
  }
  if (result == TGetResult::grError && check) Error("Cannot perform this operation on an empty table");
  return result;
}

TGetResult TMarvekTable::FetchBatch(TGetMode mode) {
  const int m = int(mode);
  if (m == prev_dir_ && filled_ > 0 && cache_index_ < filled_ - 1) {
    ++cache_index_;
  } else {
    TMvTraverseRequest request;
    request.GoTop = go_top_;
    request.GoBottom = go_bottom_;
    request.EofAction = int(eof_action_);
    request.Direction = m;
    request.PreviousDirection = prev_dir_;
    request.FetchCount = fetch_count_;
    request.RecNo = cur_recno_;
    int count = -1;
    Engine().TraverseTable(request, record_size_, cache_, count);
    if (count <= 0) {
      // No reply, or a reply without entries: the fetch ends here rather than reusing an entry
      // of an earlier batch.
      filled_ = -1;
      prev_dir_ = m;
      if (count < 0) return TGetResult::grError;
      return mode == TGetMode::gmPrior ? TGetResult::grBOF : TGetResult::grEOF;
    }
    filled_ = count;
    cache_index_ = 0;
  }
  const TMvFetchSlot& entry = cache_[size_t(cache_index_)];
  if (entry.Record.size() == image_.size()) image_ = entry.Record;
  cur_recno_ = entry.RecNo;
  key_pos_ = entry.Position;
  prev_dir_ = m;
  return entry.Result >= 0 && entry.Result <= 3 ? TGetResult(entry.Result) : TGetResult::grError;
}

TGetResult TMarvekTable::FetchLocal(TGetMode mode) {
  TMvEngine& e = Engine();
  switch (mode) {
    case TGetMode::gmCurrent:
      if (e.Bof() && e.Eof()) return TGetResult::grEOF;
      if (e.Eof()) {
        if (eof_action_ != TEOFAction::eaMoveLast) return TGetResult::grEOF;
        e.GoBottom();
        if (e.Eof()) return TGetResult::grEOF;
      }
      break;
    case TGetMode::gmNext: {
      // The cursor stands on cur_recno_: every move of the engine the table makes sets it, and
      // any other move makes the dataset put the cursor back before it fetches.
      const int before = cur_recno_;
      if (go_top_) e.GoTop();
      else e.Skip(1);
      if (e.Eof() || (!go_top_ && e.RecNo() == before)) {
        e.GoBottom();
        return TGetResult::grEOF;
      }
      break;
    }
    case TGetMode::gmPrior: {
      const int before = cur_recno_;
      if (go_bottom_) e.GoBottom();
      else e.Skip(-1);
      if (e.Bof() || e.Eof() || (!go_bottom_ && e.RecNo() == before)) {
        e.GoTop();
        return TGetResult::grBOF;
      }
      break;
    }
  }
  cur_recno_ = e.RecNo();
  key_pos_ = -2;
  if (!e.GetRecord(image_)) return TGetResult::grError;
  prev_dir_ = int(mode);
  return TGetResult::grOK;
}

// ---- decoding ----

void TMarvekTable::DecodeRecord(TRecordBuffer buffer) {
  const bool masked = encrypted_ && password_.empty();
  for (int i = 0; i < FieldCount(); ++i) {
    TField& field = Fields(i);
    if (field.FieldNo() < 1) continue;
    const TFieldInfo& info = infos_[size_t(field.FieldNo() - 1)];
    char* has = buffer + info.BufferOffset;
    char* value = has + 1;
    const std::string_view text = info.Type == '?' ? std::string_view()
                                                   : std::string_view(image_).substr(size_t(info.ImageOffset), size_t(info.Width));
    if (masked) {
      *has = 1;
      if (field.DataType() == TFieldType::ftString) std::memset(value, '*', size_t(field.Size()));
      continue;
    }
    switch (field.DataType()) {
      case TFieldType::ftString: {
        const size_t n = std::min(text.size(), size_t(field.Size()));
        std::memcpy(value, text.data(), n);
        value[n] = '\0';
        for (size_t k = n; k > 0 && value[k - 1] == ' '; --k) value[k - 1] = '\0';
        *has = 1;
        break;
      }
      case TFieldType::ftSmallint:
      case TFieldType::ftInteger: {
        if (AllBlank(text)) break;
        *has = 1;
        const int32_t v = ParseInteger(text);
        if (field.DataType() == TFieldType::ftSmallint) Put(value, int16_t(v));
        else Put(value, v);
        break;
      }
      case TFieldType::ftBoolean:
        if (AllBlank(text)) break;
        *has = 1;
        Put(value, uint16_t(text[0] == 'T' || text[0] == 'Y' ? 0xFFFF : 0));
        break;
      case TFieldType::ftFloat:
        if (AllBlank(text)) break;
        *has = 1;
        Put(value, ParseFloat(text));
        break;
      case TFieldType::ftDate: {
        if (text.size() < 8 || text[1] == ' ' || text[1] == '\0' || text[5] == '\0' || text[7] == '\0') break;
        *has = 1;
        const int month = Digits(text.substr(4, 2));
        const int day = Digits(text.substr(6, 2));
        const int32_t number = month == 0 || day == 0 ? 0 : EncodeDayNumber(Digits(text.substr(0, 4)), month, day);
        Put(value, number);
        break;
      }
      case TFieldType::ftMemo:
      case TFieldType::ftBlob: {
        ResetSlot(buffer, info.BlobSlot);
        if (State() != TDataSetState::dsInsert && text.size() == 10)
          std::memcpy(Slot(buffer, info.BlobSlot) + kSlotReference, text.data(), 10);
        *has = text.size() == 10 && !AllBlank(text);
        break;
      }
      default:
        break;
    }
  }
}

// ---- field data ----

bool TMarvekTable::GetFieldData(const TField& field, void* buffer) {
  if (!cursor_open_) return false;
  TRecordBuffer record = StateBuffer();
  if (!record) return false;
  const char* has;
  if (field.Calculated()) has = record + calc_offset_ + field.Offset();
  else if (field.FieldNo() >= 1 && infos_[size_t(field.FieldNo() - 1)].BufferOffset >= 0)
    has = record + infos_[size_t(field.FieldNo() - 1)].BufferOffset;
  else return false;
  if (*has == 0) return false;
  if (buffer) std::memcpy(buffer, has + 1, size_t(field.DataSize()));
  return true;
}

// ---- moving ----

void TMarvekTable::GoRecord(int record) {
  Engine().Go(record);
  // The position a Go makes is where the next batch starts from, whatever move was pending.
  cur_recno_ = record;
  go_top_ = go_bottom_ = false;
}

void TMarvekTable::BeforeScrollStep() {
  CheckBrowseMode();
  if (!ControlsDisabled()) DoBeforeScroll();
}

void TMarvekTable::AfterScrollStep() {
  if (!ControlsDisabled()) DoAfterScroll();
}

void TMarvekTable::DoAfterScroll() {
  if (WorkAreaOpen() && cursor_open_) UpdateCursorPos();
  TDataSet::DoAfterScroll();
}

void TMarvekTable::First() {
  if (!WorkAreaOpen()) {
    TDataSet::First();  // the framework's answer to a closed dataset
    return;
  }
  filled_ = -1;
  if (speed_mode_) {
    Select();
    Engine().GoTop();
  } else {
    TDataSet::First();
  }
}

void TMarvekTable::Next() {
  if (!speed_mode_ || !WorkAreaOpen()) {
    TDataSet::MoveBy(1);
    return;
  }
  Select();
  Engine().Skip(1);
  go_top_ = false;
}

void TMarvekTable::Prior() {
  if (!speed_mode_ || !WorkAreaOpen()) {
    TDataSet::MoveBy(-1);
    return;
  }
  Select();
  Engine().Skip(-1);
  go_bottom_ = false;
}

int TMarvekTable::MoveBy(int distance) {
  filled_ = -1;
  if (!speed_mode_ || !WorkAreaOpen()) return TDataSet::MoveBy(distance);
  Select();
  Engine().Skip(distance);
  if (distance > 0) go_top_ = false;
  if (distance < 0) go_bottom_ = false;
  return distance;
}

bool TMarvekTable::Bof() {
  if (!speed_mode_ || !WorkAreaOpen()) return TDataSet::Bof();
  Select();
  return Engine().Bof() || TDataSet::Bof();
}

bool TMarvekTable::Eof() {
  // Outside SpeedMode the engine's cursor stands wherever the last batch ended, so only the
  // dataset knows whether its records are used up.
  if (!speed_mode_ || !WorkAreaOpen()) return TDataSet::Eof();
  Select();
  return Engine().Eof() || TDataSet::Eof();
}

void TMarvekTable::InternalFirst() {
  Select();
  Engine().GoTop();
  filled_ = -1;
  go_top_ = true;
  go_bottom_ = false;
  cur_recno_ = 0;
}

void TMarvekTable::InternalLast() {
  Select();
  Engine().GoBottom();
  filled_ = -1;
  go_bottom_ = true;
  go_top_ = false;
}

void TMarvekTable::InternalSetToRecord(TRecordBuffer buffer) {
  const int record = TrailerRecNo(buffer);
  if (record <= 0) return;
  Select();
  GoRecord(record);
}

void TMarvekTable::InternalGotoBookmark(const TBookmark& bookmark) {
  int32_t record = 0;
  if (bookmark.size() == 4) std::memcpy(&record, bookmark.data(), 4);
  Select();
  if (record <= 0 || Engine().Go(record) != record) Error("Invalid bookmark");
  cur_recno_ = record;
  SetTrailer(ActiveBuffer(), record, TBookmarkFlag::bfCurrent);
  filled_ = -1;
}

void TMarvekTable::SetSpeedMode(bool value) {
  if (value == speed_mode_) return;
  speed_mode_ = value;
  if (!WorkAreaOpen() || !Active()) return;
  if (value) {
    UpdateCursorPos();
  } else {
    Select();
    SetTrailer(ActiveBuffer(), Engine().RecNo(), TBookmarkFlag::bfCurrent);
    Resync(0);
  }
}

// ---- record numbers and counts ----

int TMarvekTable::RecNo() {
  if (!WorkAreaOpen()) return 0;
  if (speed_mode_) {
    Select();
    return Engine().RecNo();
  }
  TRecordBuffer buffer = StateBuffer();
  return buffer ? TrailerRecNo(buffer) : 0;
}

void TMarvekTable::SetRecNo(int record) {
  if (!WorkAreaOpen()) return;
  if (speed_mode_) {
    Select();
    GoRecord(record);
    return;
  }
  BeforeScrollStep();
  SetTrailer(ActiveBuffer(), record, TBookmarkFlag::bfCurrent);
  filled_ = -1;
  Resync(0);
  AfterScrollStep();
}

int TMarvekTable::GetRecNo() {
  if (!WorkAreaOpen() || !cursor_open_) return 0;
  Select();
  UpdateCursorPos();
  if (index_name_.empty() || table_type_ == TMarvekTableType::ttMXNTX) return cur_recno_;
  if (count_needs_refresh_ || record_count_ == -1) RefreshCount();
  if (key_pos_ == -2) {
    Select();
    key_pos_ = int(Engine().OrderPosGet() * record_count_);
  }
  return key_pos_;
}

void TMarvekTable::SetRecNoStep(int value) {
  if (!WorkAreaOpen()) return;
  CheckBrowseMode();
  Select();
  GoRecord(value);
  if (GetRecordCount() > 0) Engine().OrderPosSet(double(value) / record_count_);
  SetTrailer(ActiveBuffer(), Engine().RecNo(), TBookmarkFlag::bfCurrent);
  Resync(0);
}

int TMarvekTable::GetRecordCount() {
  if (!WorkAreaOpen()) return 0;
  if (count_needs_refresh_ || record_count_ == -1) RefreshCount();
  return record_count_;
}

void TMarvekTable::RefreshCount() {
  Select();
  TMvEngine& e = Engine();
  phys_count_ = e.RecCount();
  switch (sequenced_count_) {
    case TSequencedCount::scAllCount: record_count_ = e.Count(); break;
    case TSequencedCount::scFilterOnlyCount: record_count_ = e.QueryRecCount(); break;
    case TSequencedCount::scRawCount: record_count_ = phys_count_; break;
  }
  count_needs_refresh_ = false;
}

// ---- resynchronising ----

void TMarvekTable::Resync(TResyncMode mode) {
  if (!WorkAreaOpen() || speed_mode_ || !Active()) return;
  Select();
  const int record = TrailerRecNo(ActiveBuffer());
  if (record > 0) GoRecord(record);
  TDataSet::Resync(mode);
}

void TMarvekTable::Refresh() {
  CheckBrowseMode();
  if (!WorkAreaOpen()) return;
  count_needs_refresh_ = true;
  Select();
  const std::string filter = Engine().DBFilter();
  if (!filter.empty() && Engine().QueryTest(filter) > 0) {
    const int record = TrailerRecNo(ActiveBuffer());
    ApplyFilter(filter);
    if (record > 0) {
      SetTrailer(ActiveBuffer(), record, TBookmarkFlag::bfCurrent);
      Resync(0);
    }
  } else {
    Resync(0);
  }
}

// ---- bookmarks ----

int TMarvekTable::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  // A null bookmark comes before every other.
  if (a.size() != 4 || b.size() != 4) return int(a.size() == 4) - int(b.size() == 4);
  int32_t ra, rb;
  std::memcpy(&ra, a.data(), 4);
  std::memcpy(&rb, b.data(), 4);
  const int by_number = ra < rb ? -1 : (ra > rb ? 1 : 0);
  if (index_name_.empty() || !WorkAreaOpen()) return by_number;
  Select();
  TMvEngine& e = Engine();
  const int remembered = cur_recno_;
  auto key_of = [&](int record) {
    GoRecord(record);
    const std::string key = e.IndexKey();
    switch (e.EvalTest(key)) {
      case 2: return FloatToText(e.EvalNumeric(key), platform::FormatSettings().DecimalSeparator);
      case 3: return std::string(e.EvalLogical(key) ? "1" : "0");
      default: return e.EvalString(key);
    }
  };
  const std::string ka = key_of(ra);
  const std::string kb = key_of(rb);
  int result = by_number;
  if (ka != kb) {
    const std::string qa = QuoteXbaseText(ka);
    const std::string qb = QuoteXbaseText(kb);
    if (qa.empty() || qb.empty()) {
      result = ka < kb ? -1 : 1;
    } else {
      const bool less = e.EvalLogical(qa + " < " + qb);
      const bool descending = e.SysProp(3002, 0) != 0;
      result = less != descending ? -1 : 1;
    }
  }
  if (remembered > 0) GoRecord(remembered);
  return result;
}

}  // namespace tavrik
