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
  // Called under the table's write lock when record `recno` changes from `old_image` to
  // `new_image`; `old_image` is empty for a newly appended record, `new_image` empty for an
  // append taken back. A change that an observer refuses is not made: the table takes it back,
  // telling the observers already told the reverse change.
  virtual void RecordChanged(uint32_t recno, std::string_view old_image, std::string_view new_image) = 0;
  // Raises when a change could not be followed (a file left broken by an earlier failure), so
  // that the table refuses a write before it touches anything.
  virtual void CheckWritable() const {}
  // Writes what the observer holds in memory (the table's Commit and close).
  virtual void Flush() {}
};

}  // namespace tavrik::xbase
