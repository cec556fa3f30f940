// TField: one field of a dataset, reached by name, whose value lives in the dataset's record
// buffers in the native form of its type (core/FieldTypes.h). Reading and writing go through
// the dataset (GetFieldData / SetFieldData on the buffer the dataset's state selects); the
// field converts between that native form and variants and text.
//
// Text forms: strings as they are; numbers as decimal text with the regional decimal
// separator; dates in the short date format (day 0, no valid date, as ""); booleans "True" /
// "False"; memos their whole text. Ownership: fields belong to their dataset.
#pragma once

#include <functional>
#include <string>

#include "core/Variant.h"
#include "data/DB.h"

namespace tavrik {

class TDataSet;

enum class TFieldKind : uint8_t { fkData, fkCalculated };

class TField {
 public:
  TField(TDataSet& dataset, std::string name, TFieldType type, int size, TFieldKind kind);
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  TDataSet& DataSet() const { return dataset_; }
  const std::string& FieldName() const { return name_; }
  TFieldType DataType() const { return type_; }
  int Size() const { return size_; }
  TFieldKind FieldKind() const { return kind_; }
  bool Calculated() const { return kind_ == TFieldKind::fkCalculated; }
  bool IsBlob() const { return IsBlobType(type_); }
  // The size of the native value in a record buffer (0 for memos and blobs).
  int DataSize() const { return NativeFieldSize(type_, size_); }
  // The physical field this one is bound to, from 1; 0 when unbound or calculated.
  int FieldNo() const { return field_no_; }
  void SetFieldNo(int number) { field_no_ = number; }
  // A calculated field's place in the dataset's calculated-field area.
  int Offset() const { return offset_; }
  void SetOffset(int offset) { offset_ = offset; }

  std::string DisplayFormat;
  int Precision = 15;

  bool IsNull() const;
  TVariant Value() const;
  void SetValue(const TVariant& value);
  std::string AsString() const;
  void SetAsString(const std::string& text);
  int64_t AsInteger() const { return IsNull() ? 0 : Value().AsInteger(); }
  double AsFloat() const { return IsNull() ? 0 : Value().AsFloat(); }
  bool AsBoolean() const { return !IsNull() && Value().AsBoolean(); }
  TDateTime AsDateTime() const { return IsNull() ? 0 : Value().AsDateTime(); }
  void Clear() { SetValue(TVariant::Null()); }

  // The native value into `buffer` (DataSize() bytes); false when the field is empty.
  bool GetData(void* buffer) const;
  // Writes a native value (nullptr: empty) through the dataset.
  void SetData(const void* buffer);

  // Called before a value is written, and after it has been written.
  std::function<void(TField&)> OnValidate;
  std::function<void(TField&)> OnChange;

 private:
  TDataSet& dataset_;
  std::string name_;
  TFieldType type_;
  int size_;
  TFieldKind kind_;
  int field_no_ = 0;
  int offset_ = 0;
};

}  // namespace tavrik
