// An order of a work area over one tag of an index file: walking records in key order (or
// reversed, for descending tags; one record per key, for unique tags), seeking a key, a scope
// (key range) and the ordinal position of a record.
//
// Seek honours the work area's settings at the time of the seek: with Exact off a key text
// shorter than the tag's key matches every key it begins (character and date keys); with Exact on
// it must match the whole key, read as padded with blanks. Found() tells the last seek's outcome; a seek that
// fails stops on the next key in the order with SoftSeek on, and at the end (0) without.
//
// Scope: the top and bottom texts bound the keys, each compared over its own length (so "B"
// admits every key beginning with B). Top is where the walk starts: the low key of an ascending
// order, the high key of a descending one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "xbase/ExprContext.h"
#include "xbase/IndexFile.h"
#include "xbase/RecordOrder.h"

namespace tavrik::xbase {

struct TSeekResult {
  uint32_t recno = 0;  // where the seek stopped; 0 = end of the order
  bool found = false;
};

class TIndexOrder : public TRecordOrder {
 public:
  // The order of tag `tag` of `file`, for the work area `area` (read at each seek for Exact and
  // SoftSeek; it must outlive the order).
  TIndexOrder(std::shared_ptr<TIndexFile> file, int tag, const TExprContext& area);

  TIndexFile& File() const { return *file_; }
  const std::shared_ptr<TIndexFile>& FilePtr() const { return file_; }
  int TagIndex() const { return tag_; }
  TIndexTag& Tag() const { return file_->Tag(tag_); }

  uint32_t First() override;
  uint32_t Last() override;
  uint32_t Next(uint32_t recno, std::string_view image) override;
  uint32_t Prior(uint32_t recno, std::string_view image) override;

  TSeekResult Seek(std::string_view key_text);
  bool Found() const { return found_; }
  // Whether the record belongs to the order and its key is one that `key_text` finds, read as
  // Seek reads it under the work area's settings now.
  bool Matches(std::string_view key_text, uint32_t recno, std::string_view image);

  // Empty texts leave that end open; both empty remove the scope.
  void SetScope(std::string_view top, std::string_view bottom);
  void ClearScope() { SetScope({}, {}); }
  // 0 the top, 1 the bottom; "" for an open end.
  std::string GetScope(int which) const { return which == 0 ? top_ : which == 1 ? bottom_ : std::string(); }
  bool Scoped() const { return !top_.empty() || !bottom_.empty(); }

  // Records in the order (within the scope).
  uint32_t KeyCount();
  // The 1-based position of a record in the order (within the scope); 0 when it is not there.
  uint32_t KeyPosition(uint32_t recno, std::string_view image);
  // The record at a 1-based position; 0 when there is none.
  uint32_t RecordAt(uint32_t position);
  bool Contains(uint32_t recno, std::string_view image) { return KeyPosition(recno, image) != 0; }
  // KeyPosition as a fraction of KeyCount, such that truncating fraction * KeyCount() gives the
  // position back; 0 when the record is not in the order.
  double RelativePosition(uint32_t recno, std::string_view image);
  // The record at the position nearest to fraction * KeyCount() (at least the first, at most
  // the last); 0 for an empty order.
  uint32_t RecordAtRelative(double fraction);

 private:
  struct TRange {
    uint32_t lo;  // first ordinal in the scope
    uint32_t hi;  // one past the last
  };
  TRange Range(TIndexTree& tree);
  // The key bytes a seek text stands for: the whole key, or the prefix to match.
  std::string Wanted(std::string_view key_text) const;
  uint32_t RecnoAt(TIndexTree& tree, uint32_t ordinal) { return tree.At(ordinal).recno; }
  // The ordinal a walk reaches from (key, recno) going up (true) or down the tree; -1 for none.
  int64_t Step(TIndexTree& tree, const TRange& range, const std::string& key, uint32_t recno, bool up);

  std::shared_ptr<TIndexFile> file_;
  int tag_;
  const TExprContext& area_;
  std::string top_, bottom_;  // scope texts as given
  bool found_ = false;
};

}  // namespace tavrik::xbase
