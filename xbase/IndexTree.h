// One B+-tree of an index file: (key, record number) entries of a fixed key length in ascending
// order, in pages of the pager (layout in IndexFormat.h). Branch entries carry the number of
// entries below each child, so the ordinal position of an entry and the entry at a position are
// found in logarithmic time; orders walk, seek and count through ordinals only.
//
// Every page is checked before it is used: its type, owner and key length, its entry count
// against its capacity and against what its parent says lies below it, and (once after each read)
// the order of its entries and the range of its child page numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/IndexPager.h"

namespace tavrik::xbase {

struct TTreeEntry {
  std::string key;
  uint32_t recno = 0;
};

class TIndexTree {
 public:
  // The tree whose root is kept in tag slot `slot` of the pager's header: the key tree
  // (kind 0) or the first-of-key tree (kind 1).
  TIndexTree(TIndexPager& pager, uint16_t slot, uint8_t kind, size_t key_length);

  uint32_t Count() const { return Root().count; }
  size_t KeyLength() const { return key_length_; }
  // Changes with every insert, erase or load.
  uint64_t Version() const { return version_; }

  // Both take a key of exactly KeyLength() bytes and a record number of 1..0xFFFFFFFE; they
  // return false when the entry is already there / is not there, and change nothing then.
  bool Insert(std::string_view key, uint32_t recno);
  bool Erase(std::string_view key, uint32_t recno);

  // The ordinal (0-based) of the first entry not less than (key, recno); Count() when none is.
  uint32_t LowerBound(std::string_view key, uint32_t recno);
  // The entry at `ordinal`, which must be below Count().
  TTreeEntry At(uint32_t ordinal);

  // Replaces every entry by `entries`, which must be in ascending order without repeats; builds
  // the pages bottom-up, each filled to about seven eighths so that later inserts rarely split.
  void Load(const std::vector<TTreeEntry>& entries);
  // Frees every page of the tree.
  void Clear();

 private:
  struct TStep {
    TPageRef page;
    int index;
  };

  TTreeRoot& Root() const;
  size_t EntrySize(const TPage& page) const;
  int Capacity(const TPage& page) const;
  // Checks `page` as a node of this tree at `leaf` level holding `total` entries below it.
  void Check(TPage& page, bool leaf, uint32_t total);
  // Reads the child at `index` of a checked branch page and checks it.
  TPageRef Child(const TPage& branch, int index, bool leaf);
  TPageRef Descend(std::string_view key, uint32_t recno, std::vector<TStep>& path);
  TPageRef NewNode(bool leaf);
  // Inserts `entry` at `pos`; when the page is full it splits and returns the new right page.
  TPageRef InsertInto(TPage& page, int pos, const uint8_t* entry);
  void RemoveFrom(TPage& page, int pos);
  uint32_t Total(const TPage& page) const;
  void FreeSubtree(uint32_t no, uint32_t height, uint32_t total);

  TIndexPager& pager_;
  uint16_t slot_;
  uint8_t kind_;
  size_t key_length_;
  uint64_t version_ = 0;
};

}  // namespace tavrik::xbase
