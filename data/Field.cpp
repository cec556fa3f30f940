#include "data/Field.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/Streams.h"
#include "data/DataSet.h"
#include "platform/DateText.h"
#include "platform/FormatSettings.h"

namespace tavrik {

namespace {

template <class T>
T Native(const char* b) {
  T value;
  std::memcpy(&value, b, sizeof(T));
  return value;
}

template <class T>
std::vector<char> ToNative(T value) {
  std::vector<char> b(sizeof(T));
  std::memcpy(b.data(), &value, sizeof(T));
  return b;
}

[[noreturn]] void OutOfRange(const TField& f, int64_t value, int64_t low, int64_t high) {
  throw EDatabaseError("'" + std::to_string(value) + "' is not a valid value for field '" + f.FieldName() +
                       "'. The allowed range is " + std::to_string(low) + " to " + std::to_string(high));
}

}  // namespace

TField::TField(TDataSet& dataset, std::string name, TFieldType type, int size, TFieldKind kind)
    : dataset_(dataset), name_(std::move(name)), type_(type), size_(size), kind_(kind) {}

bool TField::GetData(void* buffer) const { return dataset_.GetFieldData(*this, buffer); }

void TField::SetData(const void* buffer) { dataset_.SetFieldData(*this, buffer); }

bool TField::IsNull() const {
  if (!IsBlob()) return !GetData(nullptr);
  if (!GetData(nullptr)) return true;
  return dataset_.CreateBlobStream(*this, TBlobStreamMode::bmRead)->Size() == 0;
}

TVariant TField::Value() const {
  if (IsBlob()) {
    if (!GetData(nullptr)) return TVariant::Null();
    auto stream = dataset_.CreateBlobStream(*this, TBlobStreamMode::bmRead);
    std::string text(size_t(stream->Size()), '\0');
    stream->SetPosition(0);
    stream->ReadBuffer(text.data(), int64_t(text.size()));
    return text;
  }
  // Most native values fit the stack; only long strings need the heap.
  char small[64];
  std::vector<char> large;
  const size_t size = size_t(std::max(DataSize(), 1));
  if (size > sizeof small) large.resize(size);
  char* b = large.empty() ? small : large.data();
  if (!GetData(b)) return TVariant::Null();
  switch (type_) {
    case TFieldType::ftString: case TFieldType::ftFixedChar:
      return std::string(b, strnlen(b, size));
    case TFieldType::ftSmallint: return int(Native<int16_t>(b));
    case TFieldType::ftWord: return int(Native<uint16_t>(b));
    case TFieldType::ftBoolean: return Native<uint16_t>(b) != 0;
    case TFieldType::ftInteger: case TFieldType::ftAutoInc: return int(Native<int32_t>(b));
    case TFieldType::ftLargeint: return Native<int64_t>(b);
    case TFieldType::ftFloat: case TFieldType::ftCurrency: return Native<double>(b);
    case TFieldType::ftDate: return TVariant::DateTime(Native<int32_t>(b));
    case TFieldType::ftTime: return TVariant::DateTime(MakeDateTime(0, Native<int32_t>(b)));
    case TFieldType::ftDateTime: {
      const double ms = Native<double>(b);
      const double day = std::floor(ms / kMSecsPerDay);
      return TVariant::DateTime(MakeDateTime(int32_t(day), int32_t(ms - day * kMSecsPerDay)));
    }
    default: throw EDatabaseError("Field '" + name_ + "' is of an unsupported type");
  }
}

void TField::SetValue(const TVariant& value) {
  if (IsBlob()) {
    // An empty value empties the content, which is stored like any other.
    const std::string text = value.AsString();
    auto stream = dataset_.CreateBlobStream(*this, TBlobStreamMode::bmWrite);
    stream->WriteString(text);
    return;  // the stream hands its content to the record when it goes
  }
  if (value.IsClear()) {
    SetData(nullptr);
    return;
  }
  std::vector<char> b;
  switch (type_) {
    case TFieldType::ftString: case TFieldType::ftFixedChar: {
      std::string text = value.AsString().substr(0, size_t(size_));
      b.assign(text.begin(), text.end());
      b.resize(size_t(size_) + 1, '\0');
      break;
    }
    case TFieldType::ftSmallint: {
      const int64_t v = value.AsInteger();
      if (v < -32768 || v > 32767) OutOfRange(*this, v, -32768, 32767);
      b = ToNative(int16_t(v));
      break;
    }
    case TFieldType::ftWord: {
      const int64_t v = value.AsInteger();
      if (v < 0 || v > 65535) OutOfRange(*this, v, 0, 65535);
      b = ToNative(uint16_t(v));
      break;
    }
    case TFieldType::ftInteger: case TFieldType::ftAutoInc: {
      const int64_t v = value.AsInteger();
      if (v < INT32_MIN || v > INT32_MAX) OutOfRange(*this, v, INT32_MIN, INT32_MAX);
      b = ToNative(int32_t(v));
      break;
    }
    case TFieldType::ftLargeint: b = ToNative(int64_t(value.AsInteger())); break;
    case TFieldType::ftBoolean: b = ToNative(uint16_t(value.AsBoolean() ? 0xFFFF : 0)); break;
    case TFieldType::ftFloat: case TFieldType::ftCurrency: b = ToNative(value.AsFloat()); break;
    case TFieldType::ftDate: case TFieldType::ftTime: case TFieldType::ftDateTime: {
      TDateTime dt;
      if (value.Type() == TVarType::varText) {
        auto parsed = platform::TryStrToDate(value.AsString());
        if (!parsed) parsed = value.AsDateTime();  // "yyyy-mm-dd" is read whatever the format
        dt = *parsed;
      } else {
        dt = value.AsDateTime();
      }
      if (type_ == TFieldType::ftDate) b = ToNative(int32_t(DateTimeDay(dt)));
      else if (type_ == TFieldType::ftTime) b = ToNative(int32_t(DateTimeMSecs(dt)));
      else b = ToNative(double(DateTimeDay(dt)) * kMSecsPerDay + DateTimeMSecs(dt));
      break;
    }
    default: throw EDatabaseError("Field '" + name_ + "' is of an unsupported type");
  }
  SetData(b.data());
}

std::string TField::AsString() const {
  const TVariant v = Value();
  if (v.IsClear()) return "";
  switch (type_) {
    case TFieldType::ftFloat: case TFieldType::ftCurrency:
      return FloatToText(v.AsFloat(), platform::FormatSettings().DecimalSeparator);
    case TFieldType::ftDate:
      return DateTimeDay(v.AsDateTime()) == 0 ? std::string() : platform::DateToStr(v.AsDateTime());
    case TFieldType::ftDateTime:
      return DateTimeDay(v.AsDateTime()) == 0 ? std::string() : platform::DateTimeToStr(v.AsDateTime());
    case TFieldType::ftTime: return platform::FormatDateTime(platform::FormatSettings().LongTimeFormat, v.AsDateTime());
    default: return v.AsString();
  }
}

void TField::SetAsString(const std::string& text) {
  switch (type_) {
    case TFieldType::ftString: case TFieldType::ftFixedChar: case TFieldType::ftMemo:
      SetValue(text);
      return;
    default:
      break;
  }
  if (text.empty()) {
    SetData(nullptr);
    return;
  }
  if (type_ == TFieldType::ftFloat || type_ == TFieldType::ftCurrency) {
    std::string t = text;
    for (char& c : t)
      if (c == platform::FormatSettings().DecimalSeparator) c = '.';
    try {
      SetValue(TVariant(t).AsFloat());
    } catch (const EVariantError&) {
      throw EDatabaseError("'" + text + "' is not a valid floating point value");
    }
    return;
  }
  if (type_ == TFieldType::ftBoolean) {
    // The first letter decides, as in "True", "T", "Yes", "Y" and their opposites.
    const char c = char(text[0] & ~0x20);
    if (c != 'T' && c != 'Y' && c != 'F' && c != 'N')
      throw EDatabaseError("'" + text + "' is not a valid boolean value for field '" + name_ + "'");
    SetValue(c == 'T' || c == 'Y');
    return;
  }
  if (type_ == TFieldType::ftDate || type_ == TFieldType::ftDateTime) {
    try {
      SetValue(text);
    } catch (const EVariantError&) {
      throw EDatabaseError("'" + text + "' is not a valid date");
    }
    return;
  }
  try {
    SetValue(text);
  } catch (const EVariantError&) {
    throw EDatabaseError("'" + text + "' is not a valid value for field '" + name_ + "'");
  }
}

}  // namespace tavrik
