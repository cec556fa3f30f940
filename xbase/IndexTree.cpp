#include "xbase/IndexTree.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <stdexcept>

#include "xbase/IndexError.h"

namespace tavrik::xbase {

namespace {

bool IsLeaf(const TPage& p) { return p.bytes[kPageType] == kPageLeaf; }
int EntryCount(const TPage& p) { return GetLe16(p.bytes + kTreeCount); }
void SetEntryCount(TPage& p, int n) { PutLe16(p.bytes + kTreeCount, static_cast<uint16_t>(n)); }

}  // namespace

TIndexTree::TIndexTree(TIndexPager& pager, uint16_t slot, uint8_t kind, size_t key_length)
    : pager_(pager), slot_(slot), kind_(kind), key_length_(key_length) {}

TTreeRoot& TIndexTree::Root() const {
  TTagSlot& s = pager_.Slots().at(slot_);
  return kind_ == 0 ? s.keys : s.firsts;
}

size_t TIndexTree::EntrySize(const TPage& page) const {
  return IsLeaf(page) ? LeafEntrySize(key_length_) : BranchEntrySize(key_length_);
}

int TIndexTree::Capacity(const TPage& page) const {
  return static_cast<int>(IsLeaf(page) ? LeafCapacity(key_length_) : BranchCapacity(key_length_));
}

namespace {

uint8_t* EntryAt(TPage& page, size_t entry_size, int i) { return page.bytes + kTreeEntries + entry_size * static_cast<size_t>(i); }
const uint8_t* EntryAt(const TPage& page, size_t entry_size, int i) {
  return page.bytes + kTreeEntries + entry_size * static_cast<size_t>(i);
}

// Orders an entry (key bytes, then record number) against a key and record number.
int CompareEntry(const uint8_t* entry, size_t key_length, std::string_view key, uint32_t recno) {
  int c = std::memcmp(entry, key.data(), key_length);
  if (c != 0) return c;
  uint32_t r = GetLe32(entry + key_length);
  return r < recno ? -1 : r > recno ? 1 : 0;
}

int CompareEntries(const uint8_t* a, const uint8_t* b, size_t key_length) {
  return CompareEntry(a, key_length, std::string_view(reinterpret_cast<const char*>(b), key_length),
                      GetLe32(b + key_length));
}

}  // namespace

uint32_t TIndexTree::Total(const TPage& page) const {
  int n = EntryCount(page);
  if (IsLeaf(page)) return static_cast<uint32_t>(n);
  uint64_t sum = 0;
  size_t es = BranchEntrySize(key_length_);
  for (int i = 0; i < n; ++i) sum += GetLe32(EntryAt(page, es, i) + key_length_ + 8);
  if (sum > 0xFFFFFFFFull) pager_.Corrupt("page " + std::to_string(page.no) + " counts too many entries");
  return static_cast<uint32_t>(sum);
}

void TIndexTree::Check(TPage& page, bool leaf, uint32_t total) {
  const std::string where = "page " + std::to_string(page.no);
  if (page.bytes[kPageType] != (leaf ? kPageLeaf : kPageBranch)) pager_.Corrupt(where + " is not the tree page expected there");
  if (page.bytes[kTreeKind] != kind_ || GetLe16(page.bytes + kTreeSlot) != slot_ ||
      GetLe16(page.bytes + kTreeKeyLength) != key_length_)
    pager_.Corrupt(where + " belongs to another tree");
  int n = EntryCount(page);
  if (n < 1 || n > Capacity(page)) pager_.Corrupt(where + " holds an impossible number of entries");
  if (!page.checked) {
    size_t es = EntrySize(page);
    for (int i = 1; i < n; ++i) {
      int c = CompareEntries(EntryAt(page, es, i - 1), EntryAt(page, es, i), key_length_);
      if (leaf ? c >= 0 : c > 0) pager_.Corrupt(where + " holds entries out of order");
    }
    if (!leaf) {
      for (int i = 0; i < n; ++i) {
        const uint8_t* e = EntryAt(page, es, i);
        uint32_t child = GetLe32(e + key_length_ + 4);
        if (child == 0 || child >= pager_.PageCount()) pager_.Corrupt(where + " points outside the file");
        if (GetLe32(e + key_length_ + 8) == 0) pager_.Corrupt(where + " counts an empty child");
      }
    }
    page.checked = true;
  }
  if (Total(page) != total) pager_.Corrupt(where + " does not hold the number of entries its parent counts");
}

TPageRef TIndexTree::Child(const TPage& branch, int index, bool leaf) {
  const uint8_t* e = EntryAt(branch, BranchEntrySize(key_length_), index);
  TPageRef child = pager_.Read(GetLe32(e + key_length_ + 4));
  Check(*child, leaf, GetLe32(e + key_length_ + 8));
  return child;
}

TPageRef TIndexTree::Descend(std::string_view key, uint32_t recno, std::vector<TStep>& path) {
  const TTreeRoot& root = Root();
  path.clear();
  TPageRef page = pager_.Read(root.root);
  Check(*page, root.height == 1, root.count);
  size_t es = BranchEntrySize(key_length_);
  for (uint32_t level = 1; level < root.height; ++level) {
    // The last child whose lower bound is not above the target (entry 0's bound is not used).
    int lo = 1, hi = EntryCount(*page) - 1, idx = 0;
    while (lo <= hi) {
      int mid = (lo + hi) / 2;
      if (CompareEntry(EntryAt(*page, es, mid), key_length_, key, recno) <= 0) {
        idx = mid;
        lo = mid + 1;
      } else {
        hi = mid - 1;
      }
    }
    path.push_back({page, idx});
    page = Child(*page, idx, level + 1 == root.height);
  }
  return page;
}

namespace {

int LeafLowerBound(const TPage& leaf, size_t key_length, std::string_view key, uint32_t recno) {
  int lo = 0, hi = EntryCount(leaf);
  size_t es = LeafEntrySize(key_length);
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (CompareEntry(EntryAt(leaf, es, mid), key_length, key, recno) < 0) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

}  // namespace

TPageRef TIndexTree::NewNode(bool leaf) {
  TPageRef page = pager_.Allocate();
  page->bytes[kPageType] = leaf ? kPageLeaf : kPageBranch;
  page->bytes[kTreeKind] = kind_;
  PutLe16(page->bytes + kTreeSlot, slot_);
  PutLe16(page->bytes + kTreeKeyLength, static_cast<uint16_t>(key_length_));
  page->checked = true;
  return page;
}

TPageRef TIndexTree::InsertInto(TPage& page, int pos, const uint8_t* entry) {
  int n = EntryCount(page);
  size_t es = EntrySize(page);
  if (n < Capacity(page)) {
    std::memmove(EntryAt(page, es, pos + 1), EntryAt(page, es, pos), es * static_cast<size_t>(n - pos));
    std::memcpy(EntryAt(page, es, pos), entry, es);
    SetEntryCount(page, n + 1);
    return nullptr;
  }
  std::vector<uint8_t> all(es * static_cast<size_t>(n + 1));
  std::memcpy(all.data(), EntryAt(page, es, 0), es * static_cast<size_t>(pos));
  std::memcpy(all.data() + es * static_cast<size_t>(pos), entry, es);
  std::memcpy(all.data() + es * static_cast<size_t>(pos + 1), EntryAt(page, es, pos), es * static_cast<size_t>(n - pos));
  int left_n = (n + 1) / 2, right_n = n + 1 - left_n;
  TPageRef right = NewNode(IsLeaf(page));
  std::memcpy(EntryAt(*right, es, 0), all.data() + es * static_cast<size_t>(left_n), es * static_cast<size_t>(right_n));
  SetEntryCount(*right, right_n);
  std::memset(EntryAt(page, es, 0), 0, kPageSize - kTreeEntries);
  std::memcpy(EntryAt(page, es, 0), all.data(), es * static_cast<size_t>(left_n));
  SetEntryCount(page, left_n);
  return right;
}

void TIndexTree::RemoveFrom(TPage& page, int pos) {
  int n = EntryCount(page);
  size_t es = EntrySize(page);
  std::memmove(EntryAt(page, es, pos), EntryAt(page, es, pos + 1), es * static_cast<size_t>(n - pos - 1));
  std::memset(EntryAt(page, es, n - 1), 0, es);
  SetEntryCount(page, n - 1);
}

bool TIndexTree::Insert(std::string_view key, uint32_t recno) {
  assert(key.size() == key_length_ && recno != 0 && recno != 0xFFFFFFFFu);
  std::vector<uint8_t> entry(BranchEntrySize(key_length_), 0);
  std::memcpy(entry.data(), key.data(), key_length_);
  PutLe32(entry.data() + key_length_, recno);
  TTreeRoot& root = Root();
  if (root.root == 0) {
    TPageRef leaf = NewNode(true);
    std::memcpy(EntryAt(*leaf, LeafEntrySize(key_length_), 0), entry.data(), LeafEntrySize(key_length_));
    SetEntryCount(*leaf, 1);
    root = {leaf->no, 1, 1};
    ++version_;
    return true;
  }
  std::vector<TStep> path;
  TPageRef leaf = Descend(key, recno, path);
  int pos = LeafLowerBound(*leaf, key_length_, key, recno);
  if (pos < EntryCount(*leaf) &&
      CompareEntry(EntryAt(*leaf, LeafEntrySize(key_length_), pos), key_length_, key, recno) == 0)
    return false;
  const size_t bes = BranchEntrySize(key_length_);
  for (TStep& step : path) {
    pager_.Changed(step.page.get());
    uint8_t* count = EntryAt(*step.page, bes, step.index) + key_length_ + 8;
    PutLe32(count, GetLe32(count) + 1);
  }
  pager_.Changed(leaf.get());
  ++root.count;
  TPageRef left = leaf;
  TPageRef right = InsertInto(*leaf, pos, entry.data());
  for (size_t level = path.size(); level-- > 0 && right;) {
    TPage& parent = *path[level].page;
    int idx = path[level].index;
    PutLe32(EntryAt(parent, bes, idx) + key_length_ + 8, Total(*left));
    std::vector<uint8_t> sep(bes, 0);
    std::memcpy(sep.data(), EntryAt(*right, EntrySize(*right), 0), key_length_ + 4);
    PutLe32(sep.data() + key_length_ + 4, right->no);
    PutLe32(sep.data() + key_length_ + 8, Total(*right));
    TPageRef next = InsertInto(parent, idx + 1, sep.data());
    left = path[level].page;
    right = next;
  }
  if (right) {
    if (root.height >= kMaxTreeHeight) throw EIndexError("Index file " + pager_.Name() + ": tree too tall");
    TPageRef top = NewNode(false);
    for (int i = 0; i < 2; ++i) {
      const TPageRef& child = i == 0 ? left : right;
      uint8_t* e = EntryAt(*top, bes, i);
      std::memcpy(e, EntryAt(*child, EntrySize(*child), 0), key_length_ + 4);
      PutLe32(e + key_length_ + 4, child->no);
      PutLe32(e + key_length_ + 8, Total(*child));
    }
    SetEntryCount(*top, 2);
    root.root = top->no;
    ++root.height;
  }
  ++version_;
  return true;
}

bool TIndexTree::Erase(std::string_view key, uint32_t recno) {
  assert(key.size() == key_length_);
  TTreeRoot& root = Root();
  if (root.root == 0) return false;
  std::vector<TStep> path;
  TPageRef leaf = Descend(key, recno, path);
  int pos = LeafLowerBound(*leaf, key_length_, key, recno);
  if (pos >= EntryCount(*leaf) ||
      CompareEntry(EntryAt(*leaf, LeafEntrySize(key_length_), pos), key_length_, key, recno) != 0)
    return false;
  const size_t bes = BranchEntrySize(key_length_);
  for (TStep& step : path) {
    pager_.Changed(step.page.get());
    uint8_t* count = EntryAt(*step.page, bes, step.index) + key_length_ + 8;
    PutLe32(count, GetLe32(count) - 1);
  }
  pager_.Changed(leaf.get());
  --root.count;
  RemoveFrom(*leaf, pos);
  // Empty pages leave the tree; their parents lose the entry that led to them.
  TPageRef node = leaf;
  size_t level = path.size();
  while (EntryCount(*node) == 0) {
    pager_.Free(*node);
    if (level == 0) {
      root = {};
      break;
    }
    --level;
    RemoveFrom(*path[level].page, path[level].index);
    node = path[level].page;
  }
  // A root branch with a single child hands the root to that child.
  while (root.height > 1) {
    TPageRef top = pager_.Read(root.root);
    if (EntryCount(*top) != 1) break;
    uint32_t child = GetLe32(EntryAt(*top, bes, 0) + key_length_ + 4);
    pager_.Free(*top);
    root.root = child;
    --root.height;
  }
  ++version_;
  return true;
}

uint32_t TIndexTree::LowerBound(std::string_view key, uint32_t recno) {
  assert(key.size() == key_length_);
  const TTreeRoot& root = Root();
  if (root.root == 0) return 0;
  std::vector<TStep> path;
  TPageRef leaf = Descend(key, recno, path);
  uint32_t rank = 0;
  const size_t bes = BranchEntrySize(key_length_);
  for (const TStep& step : path)
    for (int i = 0; i < step.index; ++i) rank += GetLe32(EntryAt(*step.page, bes, i) + key_length_ + 8);
  return rank + static_cast<uint32_t>(LeafLowerBound(*leaf, key_length_, key, recno));
}

TTreeEntry TIndexTree::At(uint32_t ordinal) {
  const TTreeRoot& root = Root();
  if (ordinal >= root.count) throw std::out_of_range("index tree ordinal out of range");
  TPageRef page = pager_.Read(root.root);
  Check(*page, root.height == 1, root.count);
  const size_t bes = BranchEntrySize(key_length_);
  for (uint32_t level = 1; level < root.height; ++level) {
    int n = EntryCount(*page), i = 0;
    // Check() made the counts add up to this subtree's total, so a child is always found.
    for (; i < n - 1; ++i) {
      uint32_t c = GetLe32(EntryAt(*page, bes, i) + key_length_ + 8);
      if (ordinal < c) break;
      ordinal -= c;
    }
    page = Child(*page, i, level + 1 == root.height);
  }
  const uint8_t* e = EntryAt(*page, LeafEntrySize(key_length_), static_cast<int>(ordinal));
  return {std::string(reinterpret_cast<const char*>(e), key_length_), GetLe32(e + key_length_)};
}

void TIndexTree::Load(const std::vector<TTreeEntry>& entries) {
  Clear();
  if (entries.empty()) return;
  struct TItem {
    std::string bound;  // key + record number of the first entry below
    uint32_t page;
    uint32_t count;
  };
  std::vector<TItem> items;
  const size_t les = LeafEntrySize(key_length_), bes = BranchEntrySize(key_length_);
  const size_t leaf_fill = std::max<size_t>(1, LeafCapacity(key_length_) - LeafCapacity(key_length_) / 8);
  const size_t branch_fill = std::max<size_t>(2, BranchCapacity(key_length_) - BranchCapacity(key_length_) / 8);
  for (size_t start = 0; start < entries.size(); start += leaf_fill) {
    size_t n = std::min(leaf_fill, entries.size() - start);
    TPageRef leaf = NewNode(true);
    for (size_t i = 0; i < n; ++i) {
      const TTreeEntry& e = entries[start + i];
      if (e.key.size() != key_length_) throw std::invalid_argument("index tree load: key of the wrong length");
      bool ascending = true;
      if (start + i > 0) {
        const TTreeEntry& prev = entries[start + i - 1];
        int c = std::memcmp(prev.key.data(), e.key.data(), key_length_);
        ascending = c < 0 || (c == 0 && prev.recno < e.recno);
      }
      if (e.recno == 0 || e.recno == 0xFFFFFFFFu || !ascending)
        throw std::invalid_argument("index tree load: entries not in ascending order");
      uint8_t* p = EntryAt(*leaf, les, static_cast<int>(i));
      std::memcpy(p, e.key.data(), key_length_);
      PutLe32(p + key_length_, e.recno);
    }
    SetEntryCount(*leaf, static_cast<int>(n));
    items.push_back({std::string(reinterpret_cast<const char*>(EntryAt(*leaf, les, 0)), key_length_ + 4), leaf->no,
                     static_cast<uint32_t>(n)});
  }
  uint32_t height = 1;
  while (items.size() > 1) {
    std::vector<TItem> upper;
    for (size_t start = 0; start < items.size(); start += branch_fill) {
      size_t n = std::min(branch_fill, items.size() - start);
      TPageRef branch = NewNode(false);
      uint32_t total = 0;
      for (size_t i = 0; i < n; ++i) {
        const TItem& item = items[start + i];
        uint8_t* p = EntryAt(*branch, bes, static_cast<int>(i));
        std::memcpy(p, item.bound.data(), key_length_ + 4);
        PutLe32(p + key_length_ + 4, item.page);
        PutLe32(p + key_length_ + 8, item.count);
        total += item.count;
      }
      SetEntryCount(*branch, static_cast<int>(n));
      upper.push_back({items[start].bound, branch->no, total});
    }
    items = std::move(upper);
    ++height;
  }
  Root() = {items[0].page, height, static_cast<uint32_t>(entries.size())};
  ++version_;
}

void TIndexTree::FreeSubtree(uint32_t no, uint32_t height, uint32_t total) {
  TPageRef page = pager_.Read(no);
  Check(*page, height == 1, total);
  if (height > 1) {
    std::vector<std::pair<uint32_t, uint32_t>> children;
    const size_t bes = BranchEntrySize(key_length_);
    for (int i = 0; i < EntryCount(*page); ++i) {
      const uint8_t* e = EntryAt(*page, bes, i);
      children.push_back({GetLe32(e + key_length_ + 4), GetLe32(e + key_length_ + 8)});
    }
    for (auto [child, count] : children) FreeSubtree(child, height - 1, count);
  }
  pager_.Free(*page);
}

void TIndexTree::Clear() {
  TTreeRoot& root = Root();
  if (root.root != 0) FreeSubtree(root.root, root.height, root.count);
  Root() = {};
  ++version_;
}

}  // namespace tavrik::xbase
