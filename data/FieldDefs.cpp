#include "data/FieldDefs.h"

#include "core/StrUtils.h"

namespace tavrik {

TFieldDef& TFieldDefs::Add(std::string name, TFieldType type, int size, int field_no, bool required) {
  items_.push_back({std::move(name), type, size, field_no, required});
  return items_.back();
}

const TFieldDef* TFieldDefs::Find(std::string_view name) const {
  for (const TFieldDef& d : items_)
    if (SameText(d.Name, name)) return &d;
  return nullptr;
}

const TIndexDef* TIndexDefs::Find(std::string_view name) const {
  for (const TIndexDef& d : items_)
    if (SameText(d.Name, name)) return &d;
  return nullptr;
}

}  // namespace tavrik
