// The seams between a table and its orders. A work area walks its records through a
// TRecordOrder (natural record order, or an index order with its scope); a table tells every
// TRecordObserver (the open index files) of each record it writes, so orders stay current.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavrik::xbase {

class TRecordOrder {
 public:
  virtual ~TRecordOrder() = default;
  // Record numbers in this order; 0 means there is none (empty, or past the end/beginning).
  virtual uint32_t First() = 0;
  virtual uint32_t Last() = 0;
  // The record after / before `recno` in this order. `image` is the current record image of
  // `recno`, so an index order can find its key without reading the record again.
  virtual uint32_t Next(uint32_t recno, std::string_view image) = 0;
  virtual uint32_t Prior(uint32_t recno, std::string_view image) = 0;
};

class TRecordObserver {
 public:
  virtual ~TRecordObserver() = default;
  // Called under the table's write lock after record `recno` changed from `old_image` to
  // `new_image`; `old_image` is empty for a newly appended record.
  virtual void RecordChanged(uint32_t recno, std::string_view old_image, std::string_view new_image) = 0;
};

}  // namespace tavrik::xbase
