#include "xbase/IndexPager.h"

#include <algorithm>
#include <cstring>

#include "xbase/IndexError.h"

namespace tavrik::xbase {

namespace {

constexpr uint32_t kStateClean = 0;
constexpr uint32_t kStateWriting = 1;

void PutRoot(uint8_t* p, const TTreeRoot& r) {
  PutLe32(p, r.root);
  PutLe32(p + 4, r.height);
  PutLe32(p + 8, r.count);
}

TTreeRoot GetRoot(const uint8_t* p) { return {GetLe32(p), GetLe32(p + 4), GetLe32(p + 8)}; }

}  // namespace

void TIndexPager::Corrupt(const std::string& what) const {
  throw EIndexCorrupt("Index file " + Name() + " is damaged: " + what);
}

std::unique_ptr<TIndexPager> TIndexPager::Open(std::unique_ptr<TIndexStorage> storage, bool read_only,
                                               bool allow_stale) {
  std::unique_ptr<TIndexPager> pager(new TIndexPager(std::move(storage), read_only));
  pager->ReadHeader(allow_stale);
  return pager;
}

std::unique_ptr<TIndexPager> TIndexPager::Create(std::unique_ptr<TIndexStorage> storage) {
  std::unique_ptr<TIndexPager> pager(new TIndexPager(std::move(storage), false));
  pager->storage_->Truncate(0);
  pager->WriteHeader();
  pager->storage_->Sync();
  return pager;
}

void TIndexPager::ReadHeader(bool allow_stale) {
  const std::string& name = Name();
  uint64_t size = storage_->Size();
  uint8_t h[kPageSize];
  if (size < sizeof kIndexSignature) throw EIndexForeign(name + " is not an index file of this engine");
  storage_->Read(0, h, std::min<uint64_t>(size, kPageSize));
  if (std::memcmp(h, kIndexSignature, sizeof kIndexSignature) != 0)
    throw EIndexForeign(name + " is not an index file of this engine");
  if (size < kPageSize) Corrupt("it is shorter than its header");
  uint16_t version = GetLe16(h + kHdrVersion);
  if (version != kIndexVersion && version != kIndexVersionUnchecked)
    throw EIndexForeign("Index file " + name + " has format version " + std::to_string(version) +
                        ", which this engine does not read");
  if (Crc32(h, kHdrCrc) != GetLe32(h + kHdrCrc)) Corrupt("its header fails its checksum");
  if (GetLe16(h + kHdrPageSize) != kPageSize) Corrupt("its page size is not " + std::to_string(kPageSize));
  page_count_ = GetLe32(h + kHdrPageCount);
  free_head_ = GetLe32(h + kHdrFreeHead);
  uint32_t state = GetLe32(h + kHdrState);
  uint32_t tags = GetLe32(h + kHdrTagCount);
  generation_ = GetLe32(h + kHdrGeneration);
  table_records_ = GetLe32(h + kHdrTableRecords);
  table_fingerprint_ = GetLe32(h + kHdrTableFingerprint);
  if (page_count_ < 1 || static_cast<uint64_t>(page_count_) * kPageSize != size)
    Corrupt("its size does not match its page count");
  if (free_head_ >= page_count_) Corrupt("its free page list points outside the file");
  if (state != kStateClean && state != kStateWriting) Corrupt("its header state is unknown");
  if (tags > kMaxTags) Corrupt("its header counts more than " + std::to_string(kMaxTags) + " tags");
  slots_.resize(tags);
  for (uint32_t i = 0; i < tags; ++i) {
    const uint8_t* s = h + kHdrSlots + i * kSlotSize;
    TTagSlot& slot = slots_[i];
    slot.def_page = GetLe32(s);
    slot.keys = GetRoot(s + 4);
    slot.firsts = GetRoot(s + 16);
    for (const TTreeRoot* r : {&slot.keys, &slot.firsts}) {
      if (r->root >= page_count_ || r->height > kMaxTreeHeight || (r->root == 0) != (r->height == 0) ||
          (r->root == 0) != (r->count == 0))
        Corrupt("tag slot " + std::to_string(i + 1) + " holds an impossible tree root");
    }
    if (slot.def_page == 0 || slot.def_page >= page_count_)
      Corrupt("tag slot " + std::to_string(i + 1) + " points outside the file");
  }
  if (state == kStateWriting && !allow_stale)
    throw EIndexStale("Index file " + name + " was not closed properly and must be rebuilt");
  if (version == kIndexVersionUnchecked && !allow_stale)
    throw EIndexStale("Index file " + name + " does not record which table it was made for and must be rebuilt");
}

void TIndexPager::WriteHeader() {
  uint8_t h[kPageSize] = {};
  std::memcpy(h, kIndexSignature, sizeof kIndexSignature);
  PutLe16(h + kHdrVersion, kIndexVersion);
  PutLe16(h + kHdrPageSize, static_cast<uint16_t>(kPageSize));
  PutLe32(h + kHdrPageCount, page_count_);
  PutLe32(h + kHdrFreeHead, free_head_);
  PutLe32(h + kHdrState, writing_ ? kStateWriting : kStateClean);
  PutLe32(h + kHdrTagCount, static_cast<uint32_t>(slots_.size()));
  PutLe32(h + kHdrGeneration, generation_);
  PutLe32(h + kHdrTableRecords, table_records_);
  PutLe32(h + kHdrTableFingerprint, table_fingerprint_);
  for (size_t i = 0; i < slots_.size(); ++i) {
    uint8_t* s = h + kHdrSlots + i * kSlotSize;
    PutLe32(s, slots_[i].def_page);
    PutRoot(s + 4, slots_[i].keys);
    PutRoot(s + 16, slots_[i].firsts);
  }
  PutLe32(h + kHdrCrc, Crc32(h, kHdrCrc));
  storage_->Write(0, h, kPageSize);
}

void TIndexPager::WritePage(TPage& page) {
  PutLe32(page.bytes + kPageCrc, Crc32(page.bytes + 4, kPageSize - 4));
  storage_->Write(static_cast<uint64_t>(page.no) * kPageSize, page.bytes, kPageSize);
  page.dirty = false;
}

void TIndexPager::Remember(const TPageRef& page) {
  lru_.push_front(page->no);
  cache_[page->no] = {page, lru_.begin()};
  if (cache_.size() > cache_limit_) Evict();
}

void TIndexPager::Evict() {
  auto it = lru_.end();
  while (cache_.size() > cache_limit_ && it != lru_.begin()) {
    --it;
    auto found = cache_.find(*it);
    TPageRef& page = found->second.page;
    if (page.use_count() > 1) continue;  // in use by a caller
    if (page->dirty) WritePage(*page);
    cache_.erase(found);
    it = lru_.erase(it);
  }
}

TPageRef TIndexPager::Read(uint32_t no) {
  if (no == 0 || no >= page_count_) Corrupt("a page number (" + std::to_string(no) + ") points outside the file");
  auto found = cache_.find(no);
  if (found != cache_.end()) {
    lru_.splice(lru_.begin(), lru_, found->second.lru);
    return found->second.page;
  }
  auto page = std::make_shared<TPage>();
  page->no = no;
  storage_->Read(static_cast<uint64_t>(no) * kPageSize, page->bytes, kPageSize);
  if (Crc32(page->bytes + 4, kPageSize - 4) != GetLe32(page->bytes + kPageCrc))
    Corrupt("page " + std::to_string(no) + " fails its checksum");
  Remember(page);
  return page;
}

bool TIndexPager::ReadRaw(uint32_t no, uint8_t* out) {
  storage_->Read(static_cast<uint64_t>(no) * kPageSize, out, kPageSize);
  return Crc32(out + 4, kPageSize - 4) == GetLe32(out + kPageCrc);
}

TPageRef TIndexPager::Allocate() {
  Changed(nullptr);
  TPageRef page;
  if (free_head_ != 0) {
    page = Read(free_head_);
    if (page->bytes[kPageType] != kPageFree) Corrupt("its free page list leads to a page in use");
    uint32_t next = GetLe32(page->bytes + kFreeNext);
    if (next >= page_count_) Corrupt("its free page list points outside the file");
    free_head_ = next;
    std::memset(page->bytes, 0, kPageSize);
  } else {
    page = std::make_shared<TPage>();
    page->no = page_count_++;
    Remember(page);
  }
  page->checked = false;
  page->dirty = true;
  return page;
}

void TIndexPager::Free(TPage& page) {
  Changed(&page);
  std::memset(page.bytes, 0, kPageSize);
  page.bytes[kPageType] = kPageFree;
  PutLe32(page.bytes + kFreeNext, free_head_);
  page.checked = false;
  free_head_ = page.no;
}

void TIndexPager::Changed(TPage* page) {
  if (read_only_) throw EIndexError("Index file " + Name() + " is open read-only");
  if (!writing_) {
    writing_ = true;
    WriteHeader();
    storage_->Sync();
  }
  if (page) page->dirty = true;
}

void TIndexPager::SetTableState(uint32_t records, uint32_t fingerprint) {
  if (records == table_records_ && fingerprint == table_fingerprint_) return;
  Changed(nullptr);
  table_records_ = records;
  table_fingerprint_ = fingerprint;
}

void TIndexPager::Flush() {
  if (!writing_) return;
  std::vector<TPage*> dirty;
  for (auto& [no, cached] : cache_)
    if (cached.page->dirty) dirty.push_back(cached.page.get());
  std::sort(dirty.begin(), dirty.end(), [](const TPage* a, const TPage* b) { return a->no < b->no; });
  for (TPage* page : dirty) WritePage(*page);
  storage_->Truncate(static_cast<uint64_t>(page_count_) * kPageSize);
  storage_->Sync();
  writing_ = false;
  ++generation_;
  WriteHeader();
  storage_->Sync();
}

}  // namespace tavrik::xbase
