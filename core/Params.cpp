#include "core/Params.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/StrUtils.h"

namespace tavrik {

namespace {

template <class T>
std::string Bytes(T value) {
  std::string b(sizeof(T), '\0');
  std::memcpy(b.data(), &value, sizeof(T));
  return b;
}

template <class T>
T FromBytes(std::string_view b, size_t at = 0) {
  T value;
  std::memcpy(&value, b.data() + at, sizeof(T));
  return value;
}

int32_t DayOf(const TVariant& v) { return v.IsClear() ? 0 : DateTimeDay(v.AsDateTime()); }
int32_t MSecsOf(const TVariant& v) { return v.IsClear() ? 0 : DateTimeMSecs(v.AsDateTime()); }

}  // namespace

std::string DoubleToBcd(double value) {
  std::string bcd(34, '\0');
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", std::fabs(value));
  std::string digits, fraction;
  const std::string t = text;
  const size_t dot = t.find('.');
  if (t.find_first_of("eE") != std::string::npos) {
    // Magnitudes beyond plain decimal text: whole digits only.
    std::snprintf(text, sizeof text, "%.0f", std::fabs(value));
    digits = text;
  } else {
    digits = t.substr(0, dot);
    if (dot != std::string::npos) fraction = t.substr(dot + 1);
  }
  if (digits == "0" && !fraction.empty()) digits.clear();
  const std::string all = (digits + fraction).substr(0, 64);
  const size_t places = std::min(fraction.size(), all.size());
  bcd[0] = char(all.empty() ? 1 : all.size());
  bcd[1] = char(places | (value < 0 ? 0x80 : 0));
  for (size_t i = 0; i < all.size(); ++i) {
    const int d = all[i] - '0';
    bcd[2 + i / 2] = char(uint8_t(bcd[2 + i / 2]) | (i % 2 ? d : d << 4));
  }
  return bcd;
}

double BcdToDouble(std::string_view bcd) {
  if (bcd.size() < 34) return 0;
  const int precision = std::min<int>(uint8_t(bcd[0]), 64);
  const int places = uint8_t(bcd[1]) & 0x3F;
  double value = 0;
  for (int i = 0; i < precision; ++i) {
    const uint8_t byte = uint8_t(bcd[2 + i / 2]);
    value = value * 10 + (i % 2 ? byte & 0x0F : byte >> 4);
  }
  value /= std::pow(10.0, places);
  return (uint8_t(bcd[1]) & 0x80) ? -value : value;
}

std::string TParam::NativeValue() const {
  const TVariant& v = value_;
  switch (data_type_) {
    case TFieldType::ftString: case TFieldType::ftMemo: case TFieldType::ftFixedChar: case TFieldType::ftADT:
      return v.AsString() + '\0';
    case TFieldType::ftSmallint: case TFieldType::ftWord:
      return Bytes(int16_t(v.IsClear() ? 0 : v.AsInteger()));
    case TFieldType::ftBoolean:
      return Bytes(uint16_t(!v.IsClear() && v.AsBoolean() ? 0xFFFF : 0));
    case TFieldType::ftInteger: case TFieldType::ftAutoInc:
      return Bytes(int32_t(v.IsClear() ? 0 : v.AsInteger()));
    case TFieldType::ftDate: return Bytes(DayOf(v));
    case TFieldType::ftTime: return Bytes(MSecsOf(v));
    case TFieldType::ftFloat: case TFieldType::ftCurrency:
      return Bytes(v.IsClear() ? 0.0 : v.AsFloat());
    case TFieldType::ftDateTime:
      return Bytes(double(DayOf(v)) * kMSecsPerDay + MSecsOf(v));
    case TFieldType::ftBCD: case TFieldType::ftFMTBcd:
      return DoubleToBcd(v.IsClear() ? 0.0 : v.AsFloat());
    case TFieldType::ftTimeStamp: {
      const TDateParts d = DecodeDayNumber(DayOf(v));
      const TTimeParts t = DecodeTimeMSecs(MSecsOf(v));
      return Bytes(int16_t(d.year)) + Bytes(uint16_t(d.month)) + Bytes(uint16_t(d.day)) + Bytes(uint16_t(t.hour)) +
             Bytes(uint16_t(t.minute)) + Bytes(uint16_t(t.second)) + Bytes(uint32_t(t.msec));
    }
    case TFieldType::ftBytes: case TFieldType::ftVarBytes:
      return v.Type() == TVarType::varText ? v.AsString() : std::string();
    case TFieldType::ftBlob: case TFieldType::ftGraphic: case TFieldType::ftFmtMemo:
    case TFieldType::ftParadoxOle: case TFieldType::ftDBaseOle: case TFieldType::ftTypedBinary:
    case TFieldType::ftOraBlob: case TFieldType::ftOraClob:
      return v.AsString();
    case TFieldType::ftCursor: case TFieldType::ftArray: case TFieldType::ftReference: case TFieldType::ftDataSet:
      return std::string();
    case TFieldType::ftUnknown:
      throw EDatabaseError("Field '" + name_ + "' is of an unknown type");
    default:
      throw EDatabaseError("Field '" + name_ + "' is of an unsupported type");
  }
}

void TParam::SetNativeValue(std::string_view b) {
  auto need = [&](size_t n) {
    if (b.size() < n) throw EDatabaseError("Parameter '" + name_ + "' value is too short");
  };
  switch (data_type_) {
    case TFieldType::ftString: case TFieldType::ftMemo: case TFieldType::ftFixedChar: case TFieldType::ftADT:
      value_ = std::string(b.substr(0, b.find('\0')));
      return;
    case TFieldType::ftSmallint: need(2); value_ = int(FromBytes<int16_t>(b)); return;
    case TFieldType::ftWord: need(2); value_ = int(FromBytes<uint16_t>(b)); return;
    case TFieldType::ftBoolean: need(2); value_ = FromBytes<uint16_t>(b) != 0; return;
    case TFieldType::ftInteger: case TFieldType::ftAutoInc: need(4); value_ = int(FromBytes<int32_t>(b)); return;
    case TFieldType::ftDate: need(4); value_ = TVariant::DateTime(FromBytes<int32_t>(b)); return;
    case TFieldType::ftTime: need(4); value_ = TVariant::DateTime(MakeDateTime(0, FromBytes<int32_t>(b))); return;
    case TFieldType::ftFloat: case TFieldType::ftCurrency: need(8); value_ = FromBytes<double>(b); return;
    case TFieldType::ftDateTime: {
      need(8);
      const double ms = FromBytes<double>(b);
      const double day = std::floor(ms / kMSecsPerDay);
      value_ = TVariant::DateTime(MakeDateTime(int32_t(day), int32_t(ms - day * kMSecsPerDay)));
      return;
    }
    case TFieldType::ftBCD: case TFieldType::ftFMTBcd: need(34); value_ = BcdToDouble(b); return;
    case TFieldType::ftTimeStamp: {
      need(16);
      const int32_t day = EncodeDayNumber(FromBytes<int16_t>(b, 0), FromBytes<uint16_t>(b, 2), FromBytes<uint16_t>(b, 4));
      const TTimeParts t{FromBytes<uint16_t>(b, 6), FromBytes<uint16_t>(b, 8), FromBytes<uint16_t>(b, 10),
                         int(FromBytes<uint32_t>(b, 12))};
      value_ = TVariant::DateTime(MakeDateTime(day, EncodeTimeMSecs(t)));
      return;
    }
    case TFieldType::ftCursor: case TFieldType::ftArray: case TFieldType::ftReference: case TFieldType::ftDataSet:
      value_ = TVariant::Null();
      return;
    case TFieldType::ftUnknown:
      throw EDatabaseError("Field '" + name_ + "' is of an unknown type");
    case TFieldType::ftBytes: case TFieldType::ftVarBytes: case TFieldType::ftBlob: case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo: case TFieldType::ftParadoxOle: case TFieldType::ftDBaseOle:
    case TFieldType::ftTypedBinary: case TFieldType::ftOraBlob: case TFieldType::ftOraClob:
      value_ = std::string(b);  // byte arrays and blobs: the bytes themselves
      return;
    default:
      throw EDatabaseError("Field '" + name_ + "' is of an unsupported type");
  }
}

TParam& TParams::Add(std::string name, TFieldType data_type, TParamType param_type) {
  items_.push_back(std::make_unique<TParam>(std::move(name), data_type, param_type));
  return *items_.back();
}

TParam* TParams::FindParam(std::string_view name) {
  for (auto& p : items_)
    if (SameText(p->Name(), name)) return p.get();
  return nullptr;
}

TParam& TParams::ParamByName(std::string_view name) {
  if (TParam* p = FindParam(name)) return *p;
  throw EDatabaseError("Parameter '" + std::string(name) + "' not found");
}

}  // namespace tavrik
