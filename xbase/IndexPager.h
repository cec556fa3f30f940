// The pages of one index file: reading them through a bounded cache with their checksums
// checked, allocating and freeing them, and the header with its tag slots.
//
// Crash safety: before the first page of a change reaches the file, the header is written with
// state 1 ("open for writing") and synced. Flush writes every changed page, syncs, then writes the
// header with state 0 and syncs again. A file whose header still says 1 when it is opened may miss
// changes or hold a torn page, so it is refused as stale; a torn header fails its checksum and is
// refused as damaged. Either way TIndexFile::Repair rebuilds the tags from their definition pages,
// which are written once when a tag is made and never again.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "xbase/IndexFormat.h"
#include "xbase/IndexStorage.h"

namespace tavrik::xbase {

struct TPage {
  uint32_t no = 0;
  bool dirty = false;
  // Set by the tree once it has checked the page's structure since the page was read.
  bool checked = false;
  uint8_t bytes[kPageSize] = {};
};
// Cached pages are shared: a page held by a caller is never evicted.
using TPageRef = std::shared_ptr<TPage>;

struct TTreeRoot {
  uint32_t root = 0;
  uint32_t height = 0;
  uint32_t count = 0;
};

struct TTagSlot {
  uint32_t def_page = 0;
  TTreeRoot keys;
  TTreeRoot firsts;
};

// Trees taller than this cannot be right (a 4 KiB page holds at least 16 entries).
constexpr uint32_t kMaxTreeHeight = 24;

class TIndexPager {
 public:
  // Reads and checks the header. Raises EIndexForeign for a file that is not an index file of
  // this engine, EIndexCorrupt for a damaged one and, unless `allow_stale`, EIndexStale for one
  // that was not closed cleanly.
  static std::unique_ptr<TIndexPager> Open(std::unique_ptr<TIndexStorage> storage, bool read_only, bool allow_stale);
  // Writes an empty index file (header only) over whatever the storage held.
  static std::unique_ptr<TIndexPager> Create(std::unique_ptr<TIndexStorage> storage);

  const std::string& Name() const { return storage_->Name(); }
  const TIndexStorage& Storage() const { return *storage_; }
  bool ReadOnly() const { return read_only_; }
  uint32_t PageCount() const { return page_count_; }
  std::vector<TTagSlot>& Slots() { return slots_; }

  // A page by number, from the cache or the file; raises EIndexCorrupt when the number is out of
  // range or the page fails its checksum.
  TPageRef Read(uint32_t no);
  // A zeroed page, marked changed.
  TPageRef Allocate();
  void Free(TPage& page);
  // Notes that `page` (or the header, when null) changed; the first change after a flush marks
  // the file as open for writing. Raises EIndexError on a read-only file.
  void Changed(TPage* page);
  // Writes every changed page and then the header marked as closed cleanly.
  void Flush();

  // The record count and fingerprint of the table the file was last written for (IndexFormat.h).
  uint32_t TableRecords() const { return table_records_; }
  uint32_t TableFingerprint() const { return table_fingerprint_; }
  // Records a new state of the table, to be written with the header at the next Flush.
  void SetTableState(uint32_t records, uint32_t fingerprint);

  // Reads page `no` past the cache; false when it fails its checksum. For repairs.
  bool ReadRaw(uint32_t no, uint8_t* out);
  // Pages kept in memory (at least 16); changed pages over the limit are written out early.
  void SetCacheLimit(size_t pages) { cache_limit_ = pages < 16 ? 16 : pages; }

  [[noreturn]] void Corrupt(const std::string& what) const;

 private:
  TIndexPager(std::unique_ptr<TIndexStorage> storage, bool read_only)
      : storage_(std::move(storage)), read_only_(read_only) {}
  void ReadHeader(bool allow_stale);
  void WriteHeader();
  void WritePage(TPage& page);
  void Remember(const TPageRef& page);
  void Evict();

  struct TCached {
    TPageRef page;
    std::list<uint32_t>::iterator lru;
  };

  std::unique_ptr<TIndexStorage> storage_;
  bool read_only_;
  bool writing_ = false;  // the header on disk says "open for writing"
  uint32_t page_count_ = 1;
  uint32_t free_head_ = 0;
  uint32_t generation_ = 0;
  uint32_t table_records_ = 0;
  uint32_t table_fingerprint_ = 0;
  std::vector<TTagSlot> slots_;
  std::unordered_map<uint32_t, TCached> cache_;
  std::list<uint32_t> lru_;  // most recently used first
  size_t cache_limit_ = 2048;
};

}  // namespace tavrik::xbase
