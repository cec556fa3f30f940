// The field readings of a work area and Replace: values into and out of the stored texts.
#include "xbase/WorkArea.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "core/StrUtils.h"
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

}  // namespace tavrik::xbase
