// An index file: up to 64 tags over one table, kept current by being told of every record
// change (TRecordObserver). The table's own index (its name with the extension ".mxi") and any
// standalone index file opened by name are the same kind of file.
//
// One process opens each file once: opening a file that is already open by path gives the same
// object, which stays open until its last holder lets go. Key expressions are compiled against
// the opener's fields and evaluated with a copy of its settings taken at open, so the keys never
// change meaning with a later SetDateFormat or SetExact. Changes reach the disk on Flush (and
// when the last holder lets go); see IndexPager.h for what a crash leaves and how Repair mends it.
//
// Thread safety: every operation of the file and of its orders holds Mutex().
//
// A change that fails half-way (a write error, say) leaves the file broken: every later use
// raises EIndexStale. On disk it stays marked as not closed cleanly, for Repair, once anything
// of the change reached it; a failure before that (the first write) leaves it as it was before
// the change, which the table takes back.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/IndexPager.h"
#include "xbase/IndexTag.h"
#include "xbase/RecordOrder.h"

namespace tavrik::xbase {

class TIndexFile : public TRecordObserver {
 public:
  // Creates an empty index file at `path`, replacing one that is there. Raises EIndexError when
  // the file cannot be written or is open in this process.
  static std::shared_ptr<TIndexFile> Create(const std::string& path, const TExprContext& structure);
  // Opens an index file. Raises EIndexError when it is missing or cannot be read, EIndexForeign
  // for a file that is not an index file of this engine, EIndexCorrupt for a damaged one,
  // EIndexStale for one that was not closed cleanly or whose keys no longer fit the table's
  // fields (a field grew, say), and EIndexError when a tag's expression no longer compiles.
  static std::shared_ptr<TIndexFile> Open(const std::string& path, const TExprContext& structure,
                                          bool read_only = false);
  // Rebuilds a stale or damaged file in place from the tag definitions that survive in it and
  // every record of `records`. Foreign files are refused (EIndexForeign), never overwritten.
  static std::shared_ptr<TIndexFile> Repair(const std::string& path, const TExprContext& structure,
                                            TRecordSource& records);

  // The same over storage of the caller's choosing (memory, or a fake that fails on purpose).
  static std::shared_ptr<TIndexFile> Create(std::unique_ptr<TIndexStorage> storage, const TExprContext& structure);
  static std::shared_ptr<TIndexFile> Open(std::unique_ptr<TIndexStorage> storage, const TExprContext& structure,
                                          bool read_only = false);
  static std::shared_ptr<TIndexFile> Repair(std::unique_ptr<TIndexStorage> storage, const TExprContext& structure,
                                            TRecordSource& records);

  // Writes what is still unwritten; errors cannot be reported here, so call Flush() first.
  ~TIndexFile() override;
  TIndexFile(const TIndexFile&) = delete;
  TIndexFile& operator=(const TIndexFile&) = delete;

  const std::string& FileName() const { return pager_->Name(); }
  bool ReadOnly() const { return pager_->ReadOnly(); }
  int TagCount() const { return static_cast<int>(tags_.size()); }
  TIndexTag& Tag(int index) { return *tags_.at(static_cast<size_t>(index)); }
  // The tag's index by name (letter case ignored), or -1.
  int FindTag(std::string_view name) const;

  // Adds the tag, or replaces the tag of the same name, and builds it from every record; the
  // file is flushed afterwards. Raises EIndexError (bad name, 64 tags already, read-only) or
  // EExprError (expressions); the file is unchanged then.
  TIndexTag& CreateTag(const TTagDefinition& def, const TExprContext& structure, TRecordSource& records);
  // Rebuilds every tag from every record.
  void Reindex(TRecordSource& records);

  void RecordChanged(uint32_t recno, std::string_view old_image, std::string_view new_image) override;
  // Raises EIndexStale when a change failed half-way, EIndexError when the file is read-only
  // (and has tags to keep current).
  void CheckWritable() const override;
  void Flush() override;

  // The state of the table the file was last written for, and its update before a flush: an
  // index whose table has changed behind its back (another table's file, an older copy, records
  // added by a program that does not keep it) is rebuilt rather than trusted.
  uint32_t TableRecords() const;
  uint32_t TableFingerprint() const;
  void SetTableState(uint32_t records, uint32_t fingerprint);
  // Keys sampled from every tag (up to kSampledKeys each, all of a small table) compared with
  // the records they are filed under: nothing when all agree, else what disagrees.
  static constexpr uint32_t kSampledKeys = 64;
  std::optional<std::string> Disagreement(TRecordSource& records);
  // The file was found to disagree with its table in use: it is refused from now on, marked to
  // be rebuilt at the next open, and EIndexStale raised.
  [[noreturn]] void Distrust(const std::string& why);

  std::recursive_mutex& Mutex() const { return mutex_; }
  // Raises EIndexStale when a change failed half-way.
  void CheckUsable() const;
  void SetCacheLimit(size_t pages) { pager_->SetCacheLimit(pages); }

 private:
  TIndexFile(std::unique_ptr<TIndexPager> pager, const TEngineSettings& settings)
      : pager_(std::move(pager)), settings_(settings) {}
  void LoadTags(const TExprContext& structure);
  template <typename F>
  void Changing(F&& change);

  mutable std::recursive_mutex mutex_;
  std::unique_ptr<TIndexPager> pager_;
  TEngineSettings settings_;
  std::vector<std::unique_ptr<TIndexTag>> tags_;
  bool broken_ = false;
};

// The path of a table's own index file: the table's path with its extension replaced by ".mxi"
// (".MXI" when the table's extension is in upper case).
std::string ProductionIndexPath(const std::string& table_path);

}  // namespace tavrik::xbase
