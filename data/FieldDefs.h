// Field and index definitions: what a dataset learns of its table's structure, from which it
// makes its fields, and the orders the table offers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/FieldTypes.h"

namespace tavrik {

struct TFieldDef {
  std::string Name;
  TFieldType DataType = TFieldType::ftUnknown;
  int Size = 0;
  int FieldNo = 0;  // the physical field number, from 1
  bool Required = false;
};

class TFieldDefs {
 public:
  TFieldDef& Add(std::string name, TFieldType type, int size, int field_no, bool required = false);
  void Clear() { items_.clear(); }
  int Count() const { return int(items_.size()); }
  const TFieldDef& operator[](int index) const { return items_.at(size_t(index)); }
  // By name in any letter case; nullptr when none.
  const TFieldDef* Find(std::string_view name) const;
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  // Whether the definitions reflect the table's current structure.
  bool Updated = false;

 private:
  std::vector<TFieldDef> items_;
};

enum TIndexOption : unsigned {
  ixPrimary = 1, ixUnique = 2, ixDescending = 4, ixCaseInsensitive = 8, ixExpression = 16, ixNonMaintained = 32,
};
using TIndexOptions = unsigned;

struct TIndexDef {
  std::string Name;
  std::string Fields;      // the key field(s), for an order that is not an expression
  std::string Expression;  // the key expression, for an expression order
  std::string Source;      // the index file
  TIndexOptions Options = 0;
};

class TIndexDefs {
 public:
  void Add(TIndexDef def) { items_.push_back(std::move(def)); }
  void Clear() { items_.clear(); }
  int Count() const { return int(items_.size()); }
  const TIndexDef& operator[](int index) const { return items_.at(size_t(index)); }
  const TIndexDef* Find(std::string_view name) const;
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  bool Updated = false;

 private:
  std::vector<TIndexDef> items_;
};

}  // namespace tavrik
