// The natural order of a table: records by number. A work area walks it when no index order is
// active. The record count is read again from the file only at the ends, where another process
// may have appended.
#pragma once

#include "xbase/RecordOrder.h"
#include "xbase/Table.h"

namespace tavrik::xbase {

class TNaturalOrder : public TRecordOrder {
 public:
  explicit TNaturalOrder(TTable& table) : table_(table) {}

  uint32_t First() override { return table_.RecCount() > 0 || table_.RefreshRecCount() > 0 ? 1 : 0; }
  uint32_t Last() override { return table_.RefreshRecCount(); }
  uint32_t Next(uint32_t recno, std::string_view) override {
    return recno < table_.RecCount() || recno < table_.RefreshRecCount() ? recno + 1 : 0;
  }
  uint32_t Prior(uint32_t recno, std::string_view) override { return recno > 1 ? recno - 1 : 0; }

 private:
  TTable& table_;
};

}  // namespace tavrik::xbase
