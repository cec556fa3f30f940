#include "xbase/IndexFile.h"

#include <sys/stat.h>

#include <map>

#include "xbase/ExprError.h"
#include "xbase/IndexError.h"

namespace tavrik::xbase {

namespace {

// The index files open in this process, by device and inode.
std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, std::weak_ptr<TIndexFile>>& Registry() {
  static std::map<std::string, std::weak_ptr<TIndexFile>> registry;
  for (auto it = registry.begin(); it != registry.end();) it = it->second.expired() ? registry.erase(it) : std::next(it);
  return registry;
}

std::string IdentityOf(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return {};
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

std::shared_ptr<TIndexFile> OpenedAlready(const std::string& path) {
  std::string identity = IdentityOf(path);
  if (identity.empty()) return nullptr;
  auto found = Registry().find(identity);
  return found == Registry().end() ? nullptr : found->second.lock();
}

// The tag definitions that can still be read from a stale or damaged file, in slot order: from
// the header's slots when the header is sound, else from every definition page found.
std::vector<TTagDefinition> SalvageDefinitions(TIndexStorage& storage) {
  const std::string& name = storage.Name();
  uint64_t size = storage.Size();
  uint8_t page[kPageSize];
  if (size < sizeof kIndexSignature) throw EIndexForeign(name + " is not an index file of this engine");
  storage.Read(0, page, static_cast<size_t>(std::min<uint64_t>(size, kPageSize)));
  if (std::memcmp(page, kIndexSignature, sizeof kIndexSignature) != 0)
    throw EIndexForeign(name + " is not an index file of this engine");
  if (size >= kHdrVersion + 2 && GetLe16(page + kHdrVersion) != kIndexVersion &&
      GetLe16(page + kHdrVersion) != kIndexVersionUnchecked)
    throw EIndexForeign("Index file " + name + " has format version " + std::to_string(GetLe16(page + kHdrVersion)) +
                        ", which this engine does not read");
  const uint64_t pages = size / kPageSize;
  std::map<uint16_t, TTagDefinition> found;
  auto take = [&](uint64_t no, int want_slot) {
    uint8_t def[kPageSize];
    storage.Read(no * kPageSize, def, kPageSize);
    if (Crc32(def + 4, kPageSize - 4) != GetLe32(def + kPageCrc)) return;
    uint16_t slot;
    size_t key_length;
    char key_type;
    std::optional<TTagDefinition> d = TIndexTag::ReadDefinition(def, slot, key_length, key_type);
    if (d && (want_slot < 0 || slot == want_slot)) found.emplace(slot, std::move(*d));
  };
  bool header_sound = size >= kPageSize && Crc32(page, kHdrCrc) == GetLe32(page + kHdrCrc) &&
                      GetLe32(page + kHdrTagCount) <= kMaxTags;
  if (header_sound) {
    uint32_t tags = GetLe32(page + kHdrTagCount);
    for (uint32_t i = 0; i < tags; ++i) {
      uint32_t def_page = GetLe32(page + kHdrSlots + i * kSlotSize);
      if (def_page >= 1 && def_page < pages) take(def_page, static_cast<int>(i));
    }
  } else {
    for (uint64_t no = 1; no < pages; ++no) take(no, -1);
  }
  std::vector<TTagDefinition> defs;
  for (auto& [slot, def] : found) defs.push_back(std::move(def));
  return defs;
}

}  // namespace

std::string ProductionIndexPath(const std::string& table_path) {
  size_t slash = table_path.find_last_of('/');
  size_t dot = table_path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return table_path + kIndexExtension;
  std::string ext = table_path.substr(dot + 1);
  bool upper = !ext.empty();
  for (char c : ext)
    if (c >= 'a' && c <= 'z') upper = false;
  return table_path.substr(0, dot) + (upper ? ".MXI" : kIndexExtension);
}

// --- opening -------------------------------------------------------------------------------

std::shared_ptr<TIndexFile> TIndexFile::Create(std::unique_ptr<TIndexStorage> storage, const TExprContext& structure) {
  return std::shared_ptr<TIndexFile>(new TIndexFile(TIndexPager::Create(std::move(storage)), structure.Settings()));
}

std::shared_ptr<TIndexFile> TIndexFile::Open(std::unique_ptr<TIndexStorage> storage, const TExprContext& structure,
                                             bool read_only) {
  std::shared_ptr<TIndexFile> file(
      new TIndexFile(TIndexPager::Open(std::move(storage), read_only, false), structure.Settings()));
  file->LoadTags(structure);
  return file;
}

std::shared_ptr<TIndexFile> TIndexFile::Repair(std::unique_ptr<TIndexStorage> storage, const TExprContext& structure,
                                               TRecordSource& records) {
  std::vector<TTagDefinition> defs = SalvageDefinitions(*storage);
  // Every definition must still compile before the old file is given up.
  for (const TTagDefinition& def : defs) {
    try {
      TIndexTag::CheckedName(def.name);
      TKeyExpression key(def.key, structure);
      if (def.condition.find_first_not_of(" \t") != std::string::npos) TExpression condition(def.condition, structure);
    } catch (const EExprError& err) {
      throw EIndexError("Tag " + def.name + " of index file " + storage->Name() + " cannot be rebuilt: " + err.Message());
    }
  }
  std::shared_ptr<TIndexFile> file = Create(std::move(storage), structure);
  for (const TTagDefinition& def : defs) file->CreateTag(def, structure, records);
  return file;
}

std::shared_ptr<TIndexFile> TIndexFile::Create(const std::string& path, const TExprContext& structure) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (OpenedAlready(path)) throw EIndexError("Index file " + path + " is open and cannot be created anew");
  std::unique_ptr<TIndexStorage> storage = OpenFileStorage(path, TStorageMode::smCreate);
  std::string identity = storage->Identity();
  std::shared_ptr<TIndexFile> file = Create(std::move(storage), structure);
  Registry()[identity] = file;
  return file;
}

std::shared_ptr<TIndexFile> TIndexFile::Open(const std::string& path, const TExprContext& structure, bool read_only) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (std::shared_ptr<TIndexFile> file = OpenedAlready(path)) {
    if (!read_only && file->ReadOnly()) throw EIndexError("Index file " + path + " is open read-only");
    return file;
  }
  std::unique_ptr<TIndexStorage> storage = OpenFileStorage(path, read_only ? TStorageMode::smRead : TStorageMode::smReadWrite);
  std::string identity = storage->Identity();
  std::shared_ptr<TIndexFile> file = Open(std::move(storage), structure, read_only);
  Registry()[identity] = file;
  return file;
}

std::shared_ptr<TIndexFile> TIndexFile::Repair(const std::string& path, const TExprContext& structure,
                                               TRecordSource& records) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (OpenedAlready(path)) throw EIndexError("Index file " + path + " is open and cannot be repaired");
  std::unique_ptr<TIndexStorage> storage = OpenFileStorage(path, TStorageMode::smReadWrite);
  std::string identity = storage->Identity();
  std::shared_ptr<TIndexFile> file = Repair(std::move(storage), structure, records);
  Registry()[identity] = file;
  return file;
}

TIndexFile::~TIndexFile() {
  try {
    if (!broken_) pager_->Flush();
  } catch (...) {
    // Nothing can be reported from here; the file stays marked as not closed cleanly.
  }
}

void TIndexFile::LoadTags(const TExprContext& structure) {
  std::vector<TTagSlot>& slots = pager_->Slots();
  for (size_t i = 0; i < slots.size(); ++i) {
    TPageRef page = pager_->Read(slots[i].def_page);
    uint16_t slot;
    size_t key_length;
    char key_type;
    std::optional<TTagDefinition> def = TIndexTag::ReadDefinition(page->bytes, slot, key_length, key_type);
    if (!def || slot != i) pager_->Corrupt("the definition of tag " + std::to_string(i + 1) + " is unreadable");
    std::unique_ptr<TIndexTag> tag;
    try {
      tag = std::make_unique<TIndexTag>(*pager_, static_cast<uint16_t>(i), *def, structure, settings_);
    } catch (const EExprError& err) {
      throw EIndexError("Tag " + def->name + " of index file " + FileName() + " cannot be used: " + err.Message());
    }
    if (tag->Key().Length() != key_length || ExprTypeLetter(tag->Key().Type()) != key_type)
      throw EIndexStale("Tag " + def->name + " of index file " + FileName() +
                        " no longer fits the table's fields and must be rebuilt");
    if (!def->unique && slots[i].firsts.root != 0) pager_->Corrupt("tag " + def->name + " holds a tree it cannot have");
    tags_.push_back(std::move(tag));
  }
}

int TIndexFile::FindTag(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (size_t i = 0; i < tags_.size(); ++i) {
    const std::string& tag = tags_[i]->Name();
    if (tag.size() != name.size()) continue;
    bool same = true;
    for (size_t j = 0; j < name.size() && same; ++j) {
      char c = name[j];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      same = c == tag[j];
    }
    if (same) return static_cast<int>(i);
  }
  return -1;
}

void TIndexFile::CheckUsable() const {
  if (broken_)
    throw EIndexStale("Index file " + FileName() +
                      " failed during a change and can be used again once it has been closed and opened anew");
}

template <typename F>
void TIndexFile::Changing(F&& change) {
  CheckUsable();
  try {
    change();
  } catch (...) {
    broken_ = true;
    throw;
  }
}

TIndexTag& TIndexFile::CreateTag(const TTagDefinition& def, const TExprContext& structure, TRecordSource& records) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  CheckUsable();
  if (ReadOnly()) throw EIndexError("Index file " + FileName() + " is open read-only");
  int existing = FindTag(def.name);
  if (existing < 0 && tags_.size() >= kMaxTags)
    throw EIndexError("Index file " + FileName() + " already holds " + std::to_string(kMaxTags) + " tags");
  uint16_t slot = static_cast<uint16_t>(existing >= 0 ? existing : static_cast<int>(tags_.size()));
  // Compiled before anything changes, so a bad expression leaves the file as it was.
  auto tag = std::make_unique<TIndexTag>(*pager_, slot, def, structure, settings_);
  Changing([&] {
    if (existing >= 0) {
      TPageRef page = pager_->Read(pager_->Slots()[slot].def_page);
      pager_->Changed(page.get());
      tag->WriteDefinition(*page);
      tags_[slot] = std::move(tag);
    } else {
      TPageRef page = pager_->Allocate();
      tag->WriteDefinition(*page);
      pager_->Slots().push_back({page->no, {}, {}});
      tags_.push_back(std::move(tag));
    }
    tags_[slot]->Build(records);
    pager_->Flush();
  });
  return *tags_[slot];
}

void TIndexFile::Reindex(TRecordSource& records) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (ReadOnly()) throw EIndexError("Index file " + FileName() + " is open read-only");
  Changing([&] {
    for (auto& tag : tags_) tag->Build(records);
    pager_->Flush();
  });
}

void TIndexFile::RecordChanged(uint32_t recno, std::string_view old_image, std::string_view new_image) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (tags_.empty()) return;
  // Refused before anything changes, so the file stays usable for reading.
  if (ReadOnly()) throw EIndexError("Index file " + FileName() + " is open read-only");
  Changing([&] {
    for (auto& tag : tags_) tag->RecordChanged(recno, old_image, new_image);
  });
}

void TIndexFile::CheckWritable() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (tags_.empty()) return;
  CheckUsable();
  if (ReadOnly()) throw EIndexError("Index file " + FileName() + " is open read-only");
}

void TIndexFile::SetTableState(uint32_t records, uint32_t fingerprint) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (ReadOnly() || broken_) return;
  Changing([&] { pager_->SetTableState(records, fingerprint); });
}

uint32_t TIndexFile::TableRecords() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return pager_->TableRecords();
}

uint32_t TIndexFile::TableFingerprint() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return pager_->TableFingerprint();
}

std::optional<std::string> TIndexFile::Disagreement(TRecordSource& records) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (auto& tag : tags_)
    if (std::optional<std::string> why = tag->Disagreement(records, kSampledKeys))
      return "Index file " + FileName() + " does not match its table: tag " + tag->Name() + " " + *why;
  return std::nullopt;
}

void TIndexFile::Distrust(const std::string& why) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!broken_ && !ReadOnly()) {
    try {
      pager_->Changed(nullptr);  // the header now says "not closed cleanly": the next open rebuilds
    } catch (const Exception&) {
      // Still refused below; the file is rebuilt when it is next found out.
    }
  }
  broken_ = true;
  throw EIndexStale("Index file " + FileName() + " does not match its table (" + why +
                    "); it is rebuilt when the table is next opened");
}

void TIndexFile::Flush() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  CheckUsable();
  Changing([&] { pager_->Flush(); });
}

}  // namespace tavrik::xbase
