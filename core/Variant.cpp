#include "core/Variant.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "core/StrUtils.h"

namespace tavrik {

namespace {

std::optional<double> ParseNumber(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v)) return std::nullopt;
  return v;
}

int Digits(std::string_view s, size_t at, size_t n) {
  int v = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return -1;
    v = v * 10 + (s[i] - '0');
  }
  return v;
}

// "yyyy-mm-dd", optionally followed by " hh:nn[:ss[.zzz]]".
std::optional<TDateTime> ParseIsoDateTime(const std::string& text) {
  const std::string t = Trim(text);
  if (t.size() < 10 || t[4] != '-' || t[7] != '-') return std::nullopt;
  const int32_t day = EncodeDayNumber(Digits(t, 0, 4), Digits(t, 5, 2), Digits(t, 8, 2));
  if (day == 0) return std::nullopt;
  if (t.size() == 10) return MakeDateTime(day, 0);
  TTimeParts time;
  if (t.size() < 16 || t[10] != ' ' || t[13] != ':') return std::nullopt;
  time.hour = Digits(t, 11, 2);
  time.minute = Digits(t, 14, 2);
  size_t at = 16;
  if (t.size() >= 19 && t[16] == ':') {
    time.second = Digits(t, 17, 2);
    at = 19;
    if (t.size() == 23 && t[19] == '.') {
      time.msec = Digits(t, 20, 3);
      at = 23;
    }
  }
  if (at != t.size() || time.hour < 0 || time.hour > 23 || time.minute < 0 || time.minute > 59 || time.second < 0 ||
      time.second > 59 || time.msec < 0)
    return std::nullopt;
  return MakeDateTime(day, EncodeTimeMSecs(time));
}

}  // namespace

TVariant TVariant::Null() {
  TVariant v;
  v.value_ = NullTag{};
  return v;
}

TVariant TVariant::DateTime(TDateTime value) {
  TVariant v;
  v.value_ = DateTag{value};
  return v;
}

TVarType TVariant::Type() const { return static_cast<TVarType>(value_.index()); }

const char* TVariant::TypeName(TVarType type) {
  switch (type) {
    case TVarType::varEmpty: return "Empty";
    case TVarType::varNull: return "Null";
    case TVarType::varInteger: return "Integer";
    case TVarType::varFloat: return "Double";
    case TVarType::varDateTime: return "Date";
    case TVarType::varText: return "Text";
    case TVarType::varBoolean: return "Boolean";
  }
  return "Unknown";
}

void TVariant::CannotConvert(TVarType to) const {
  throw EVariantError(std::string("Could not convert variant of type (") + TypeName(Type()) + ") into type (" +
                      TypeName(to) + ")");
}

double TVariant::AsFloat() const {
  switch (Type()) {
    case TVarType::varEmpty: return 0;
    case TVarType::varInteger: return double(std::get<int64_t>(value_));
    case TVarType::varFloat: return std::get<double>(value_);
    case TVarType::varDateTime: return std::get<DateTag>(value_).value;
    case TVarType::varBoolean: return std::get<bool>(value_) ? -1 : 0;
    case TVarType::varText:
      if (auto v = ParseNumber(std::get<std::string>(value_))) return *v;
      break;
    case TVarType::varNull: break;
  }
  CannotConvert(TVarType::varFloat);
}

int64_t TVariant::AsInteger() const {
  if (Type() == TVarType::varInteger) return std::get<int64_t>(value_);
  if (Type() == TVarType::varNull) CannotConvert(TVarType::varInteger);
  std::optional<double> number;
  if (Type() == TVarType::varText) number = ParseNumber(std::get<std::string>(value_));
  const double v = Type() == TVarType::varText ? number.value_or(NAN) : AsFloat();
  if (!(std::fabs(v) < 9.2e18)) CannotConvert(TVarType::varInteger);
  return int64_t(std::llround(v));
}

bool TVariant::AsBoolean() const {
  switch (Type()) {
    case TVarType::varBoolean: return std::get<bool>(value_);
    case TVarType::varText: {
      const std::string t = UpperCase(Trim(std::get<std::string>(value_)));
      if (t == "TRUE") return true;
      if (t == "FALSE") return false;
      if (auto v = ParseNumber(t)) return *v != 0;
      CannotConvert(TVarType::varBoolean);
    }
    default: return AsFloat() != 0;
  }
}

TDateTime TVariant::AsDateTime() const {
  if (Type() == TVarType::varText) {
    if (auto v = ParseIsoDateTime(std::get<std::string>(value_))) return *v;
    CannotConvert(TVarType::varDateTime);
  }
  return AsFloat();
}

std::string TVariant::AsString() const {
  switch (Type()) {
    case TVarType::varEmpty:
    case TVarType::varNull: return "";
    case TVarType::varInteger: return std::to_string(std::get<int64_t>(value_));
    case TVarType::varFloat: return FloatToText(std::get<double>(value_));
    case TVarType::varDateTime: return DateTimeToIsoText(std::get<DateTag>(value_).value);
    case TVarType::varText: return std::get<std::string>(value_);
    case TVarType::varBoolean: return std::get<bool>(value_) ? "True" : "False";
  }
  return "";
}

bool operator==(const TVariant& a, const TVariant& b) {
  const bool a_num = a.Type() == TVarType::varInteger || a.Type() == TVarType::varFloat;
  const bool b_num = b.Type() == TVarType::varInteger || b.Type() == TVarType::varFloat;
  if (a_num && b_num) return a.AsFloat() == b.AsFloat();
  return a.value_ == b.value_;
}

std::string FloatToText(double value, char decimal_separator) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  std::string text = buffer;
  if (text == "-0") text = "0";
  if (decimal_separator != '.')
    for (char& c : text)
      if (c == '.') c = decimal_separator;
  return text;
}

std::string DateTimeToIsoText(TDateTime value) {
  const TDateParts d = DecodeDayNumber(DateTimeDay(value));
  if (d.year == 0) return "";
  char date[11];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", d.year, d.month, d.day);
  std::string text = date;
  const int32_t msecs = DateTimeMSecs(value);
  if (msecs != 0) {
    const TTimeParts t = DecodeTimeMSecs(msecs);
    char time[16];
    std::snprintf(time, sizeof time, " %02d:%02d:%02d", t.hour, t.minute, t.second);
    text += time;
    if (t.msec) {
      std::snprintf(time, sizeof time, ".%03d", t.msec);
      text += time;
    }
  }
  return text;
}

}  // namespace tavrik
