// Parameters of server procedures and SQL statements: a name, a data type, a parameter type and
// a value, with the native byte form in which the value travels.
//
// Native forms by data type (little-endian):
//   ftString, ftMemo, ftFixedChar, ftADT        text length + 1: the text and a zero byte
//   ftSmallint, ftWord                          2: integer
//   ftBoolean                                   2: 0 false, non-zero true (written as all bits set)
//   ftInteger, ftAutoInc                        4: integer
//   ftDate                                      4: day number (1 January of year 1 is day 1)
//   ftTime                                      4: milliseconds since midnight
//   ftFloat, ftCurrency                         8: IEEE double
//   ftDateTime                                  8: IEEE double, day number * 86400000 + milliseconds
//   ftBCD, ftFMTBcd                             34: TBcd below
//   ftTimeStamp                                 16: TSQLTimeStamp below
//   ftBytes, ftVarBytes                         the byte array's length (a text value holds the
//                                               bytes), 0 when the value is no byte array
//   ftBlob, ftGraphic, ftFmtMemo, ftParadoxOle,
//   ftDBaseOle, ftTypedBinary, ftOraBlob,
//   ftOraClob                                   text length: the raw bytes, no terminator
//   ftCursor, ftArray, ftReference, ftDataSet   0: nothing
//   ftUnknown                                   EDatabaseError "Field '<name>' is of an unknown type"
//   any other                                   EDatabaseError "Field '<name>' is of an unsupported type"
//
// TBcd (34 bytes):
//   OFFSET SIZE CONTENT
//   0      1    precision: the number of digits held (1..64)
//   1      1    bit 7 the sign (set: negative), bits 0..5 the digits after the decimal point
//   2      32   the digits, two per byte, most significant first, high nibble first
// TSQLTimeStamp (16 bytes):
//   OFFSET SIZE CONTENT
//   0      2    year (signed)       6  2  hour           12 4  milliseconds
//   2      2    month               8  2  minute
//   4      2    day                 10 2  second
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/FieldTypes.h"
#include "core/Variant.h"

namespace tavrik {

enum class TParamType : uint8_t { ptUnknown = 0, ptInput = 1, ptOutput = 2, ptInputOutput = 3, ptResult = 4 };

class TParam {
 public:
  TParam(std::string name, TFieldType data_type, TParamType param_type)
      : name_(std::move(name)), data_type_(data_type), param_type_(param_type) {}

  const std::string& Name() const { return name_; }
  TFieldType DataType() const { return data_type_; }
  void SetDataType(TFieldType type) { data_type_ = type; }
  TParamType ParamType() const { return param_type_; }
  void SetParamType(TParamType type) { param_type_ = type; }
  const TVariant& Value() const { return value_; }
  void SetValue(TVariant value) { value_ = std::move(value); }
  bool IsNull() const { return value_.IsClear(); }

  // The value in the native form of the data type (see above); a null value gives the form of
  // zero or the empty text.
  std::string NativeValue() const;
  // Sets the value from its native form; bytes shorter than the form raise EDatabaseError
  // "Parameter '<name>' value is too short".
  void SetNativeValue(std::string_view bytes);

 private:
  std::string name_;
  TFieldType data_type_;
  TParamType param_type_;
  TVariant value_;
};

// An ordered collection of parameters; owns them.
class TParams {
 public:
  TParam& Add(std::string name, TFieldType data_type, TParamType param_type);
  void Clear() { items_.clear(); }
  int Count() const { return int(items_.size()); }
  TParam& operator[](int index) { return *items_.at(size_t(index)); }
  const TParam& operator[](int index) const { return *items_.at(size_t(index)); }
  // By name in any letter case; nullptr when none.
  TParam* FindParam(std::string_view name);
  // EDatabaseError "Parameter '<name>' not found" when none.
  TParam& ParamByName(std::string_view name);

 private:
  std::vector<std::unique_ptr<TParam>> items_;
};

// The 34-byte decimal form of a number (up to 15 significant digits), and back.
std::string DoubleToBcd(double value);
double BcdToDouble(std::string_view bcd);

}  // namespace tavrik
