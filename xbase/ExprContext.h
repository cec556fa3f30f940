// What the expression language needs of a work area: its fields, the record image of the current
// record, its record number and the engine settings. The table layer implements it; expressions,
// orders and filters use it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "xbase/Settings.h"

namespace tavrik::xbase {

struct TFieldInfo {
  std::string name;  // upper case
  char type;         // 'C', 'N', 'F', 'D', 'L', 'M', 'B', 'G', 'P', 'I', ...
  int width;
  int decimals;
  int offset;        // 0-based offset in the record image (byte 0 is the deletion flag)
};

class TExprContext {
 public:
  virtual ~TExprContext() = default;
  // The field's index for an upper-case name, or -1.
  virtual int FieldIndex(std::string_view upper_name) const = 0;
  virtual const TFieldInfo& Field(int index) const = 0;
  // The raw record image of the current record: deletion flag, then each field's text.
  virtual std::string_view RecordImage() const = 0;
  virtual uint32_t RecNo() const = 0;
  virtual const TEngineSettings& Settings() const = 0;
};

}  // namespace tavrik::xbase
