// TVariant: a field, parameter or key value of any of the kinds the layers exchange: empty,
// null, integer, float, date-time, text and boolean.
//
// Conversions between kinds follow the run-time library's rules, written without any regional
// setting so that a value means the same on the client and on the server: numbers as decimal
// text with "." as separator, date-times as "yyyy-mm-dd" (followed by " hh:nn:ss" when there is
// a time of day), booleans as "True"/"False". Empty converts to 0, "" and false; null refuses
// every conversion but to text, where it is "". A conversion that cannot be made raises
// EVariantError "Could not convert variant of type (Text) into type (Integer)".
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "core/DateTime.h"
#include "core/Exception.h"

namespace tavrik {

TAVRIK_EXCEPTION(EVariantError, Exception);

enum class TVarType : uint8_t { varEmpty, varNull, varInteger, varFloat, varDateTime, varText, varBoolean };

class TVariant {
 public:
  TVariant() = default;  // empty
  TVariant(int value) : value_(int64_t(value)) {}
  TVariant(int64_t value) : value_(value) {}
  TVariant(double value) : value_(value) {}
  TVariant(bool value) : value_(value) {}
  TVariant(std::string value) : value_(std::move(value)) {}
  TVariant(const char* value) : value_(std::string(value)) {}
  static TVariant Null();
  static TVariant DateTime(TDateTime value);

  TVarType Type() const;
  bool IsEmpty() const { return Type() == TVarType::varEmpty; }
  bool IsNull() const { return Type() == TVarType::varNull; }
  // Null or empty: no value at all.
  bool IsClear() const { return IsEmpty() || IsNull(); }
  static const char* TypeName(TVarType type);

  int64_t AsInteger() const;   // floats and date-times rounded half away from zero
  double AsFloat() const;
  bool AsBoolean() const;      // numbers: non-zero; text: "True"/"False" in any case, or a number
  TDateTime AsDateTime() const;
  std::string AsString() const;

  // Same kind and value; integers, floats and date-times compare by number, texts exactly.
  friend bool operator==(const TVariant& a, const TVariant& b);

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
  };
  struct DateTag {
    TDateTime value;
    friend bool operator==(DateTag a, DateTag b) { return a.value == b.value; }
  };
  [[noreturn]] void CannotConvert(TVarType to) const;

  std::variant<std::monostate, NullTag, int64_t, double, DateTag, std::string, bool> value_;
};

// Number text the variants write: up to 15 significant digits, no exponent for ordinary
// magnitudes, "." as separator, no trailing zeros.
std::string FloatToText(double value, char decimal_separator = '.');
// "yyyy-mm-dd", with " hh:nn:ss" (and ".zzz" when there are milliseconds) for a time of day;
// "" for day 0.
std::string DateTimeToIsoText(TDateTime value);

}  // namespace tavrik
