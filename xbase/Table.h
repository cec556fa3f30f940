// One open DBF table with its memo file, shared by every work area of the process that uses the
// file (TTableRegistry hands it out): whole-record reads and writes, appends, memo contents,
// record locks, and the observers told of every record written.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/DbfHeader.h"
#include "xbase/ExprContext.h"
#include "xbase/LockTable.h"
#include "xbase/MemoFile.h"
#include "xbase/RecordOrder.h"
#include "xbase/TableFile.h"

namespace tavrik::xbase {

class TIndexFile;
struct TTagDefinition;

// A table's fields as an expression context, with the fixed settings under which index keys and
// for-conditions are evaluated: Exact off, American dates with the century, epoch 1980. Keys must
// mean the same in every process and session that maintains a file, whatever their settings.
class TTableStructure : public TExprContext {
 public:
  explicit TTableStructure(const class TTable& table) : table_(table) {}
  int FieldIndex(std::string_view upper_name) const override;
  const TFieldInfo& Field(int index) const override;
  std::string_view RecordImage() const override;
  uint32_t RecNo() const override { return 0; }
  const TEngineSettings& Settings() const override;

 private:
  const TTable& table_;
};

// Records are read and written whole under the table's reader/writer lock, so no thread sees
// half a record; appends and other header changes also hold the header byte lock (LockRegion.h),
// so that two processes never lose an append or tear the header. Every record written is
// reported to the registered TRecordObservers under the write lock before it counts as written;
// an observer must not call back into the table (the lock is not recursive), and when one
// refuses a change the write is taken back and the refusal reaches the writer. All methods may
// be called from several threads at once.
//
// Lock order: the reader/writer lock, then the index files' own locks.
class TTable {
 public:
  // Opens and checks `path` and its memo file. With `exclusive`, no other process may have the
  // file open (and none can open it afterwards); the record count then stays in memory and the
  // header is written at Flush. Raises ETableError / ETableCorrupt.
  TTable(const std::string& path, bool exclusive);
  ~TTable();
  TTable(const TTable&) = delete;
  TTable& operator=(const TTable&) = delete;

  const std::string& Path() const { return dbf_.Path(); }
  uint8_t Version() const { return header_.version; }
  TDbfFamily Family() const { return header_.Family(); }
  TMemoKind MemoKind() const { return memo_kind_; }
  bool Writable() const { return dbf_.Writable(); }
  bool Exclusive() const { return exclusive_; }
  bool Encrypted() const { return false; }  // encrypted tables are refused when opened

  const std::vector<TFieldInfo>& Fields() const { return fields_; }
  // The index of the field with this upper-case name, or -1.
  int FieldIndex(std::string_view upper_name) const;
  uint32_t RecordSize() const { return header_.record_length; }
  // A record of blanks: not deleted, every field empty.
  const std::string& BlankRecord() const { return blank_; }

  // The record count as last seen.
  uint32_t RecCount() const { return count_.load(); }
  // The record count read again from the file (other processes may have appended).
  uint32_t RefreshRecCount();

  // Record `recno` as stored. Raises ETableError "Record <n> does not exist in <path>".
  std::string ReadRecord(uint32_t recno);
  // Stores `image` (RecordSize() bytes) as record `recno` and returns what was stored: memo
  // references are kept as stored (memo contents change only through WriteMemo), the deletion
  // flag must be a blank or "*". Refused when another owner holds the record's lock.
  std::string WriteRecord(uint32_t recno, std::string_view image, TLockOwner owner);
  // Reads record `recno`, lets `change` edit it and stores it, all under the write lock.
  std::string UpdateRecord(uint32_t recno, TLockOwner owner, const std::function<void(std::string&)>& change);
  // Adds a blank record, locked for `owner`, and returns its number.
  uint32_t AppendBlank(TLockOwner owner);

  // The memo of field `f` in `image` (empty for a blank reference).
  TMemoData ReadMemo(std::string_view image, const TFieldInfo& f) const;
  // Stores `data` as the memo of field `field_index` of record `recno` and returns the record as
  // stored afterwards (an empty content leaves the field without a memo).
  std::string WriteMemo(uint32_t recno, int field_index, const TMemoData& data, TLockOwner owner);

  // Writes what is held in memory (the header of an exclusive table); with `sync`, also forces
  // the table and memo files to disk.
  void Flush(bool sync);
  // Flushes and closes the files; raises the first error after closing them anyway.
  void Close();

  TLockTable& Locks() { return *locks_; }

  void AddObserver(TRecordObserver* observer);
  void RemoveObserver(TRecordObserver* observer);

  // ---- index files (TableIndexes.cpp) ----
  // Index files are observers that the table keeps current with every write. Its own index file
  // (ProductionIndexPath) is opened with the table and stays attached while the table is open;
  // any other stays attached while a work area holds it. A process with index files on a shared
  // table has the table to itself: a table open in another process gets no index files, and
  // another process cannot open a table that has them here (its writes would miss them).
  //
  // The table's own index file, nullptr when it has none, and where it is or would be (the
  // extension in either letter case).
  std::shared_ptr<TIndexFile> OwnIndex() const;
  std::string OwnIndexPath() const;
  // The index file at `path` for one more holder: the one already attached, or opened (a file
  // left stale by a crash or a failed change is rebuilt from its tag definitions when the table
  // is writable), or with `create` made empty when there is no file. A file at the own index's
  // path becomes the own index. Raises EIndexError (and its kinds) or ETableError.
  std::shared_ptr<TIndexFile> HoldIndex(const std::string& path, bool create);
  // One more holder of a file already attached.
  void HoldIndex(const std::shared_ptr<TIndexFile>& file);
  // One holder less; the last one flushes the file and stops keeping it current. With
  // `discard_if_empty` a file that still has no tags (one just made for a tag that could not be
  // made) is removed instead.
  void ReleaseIndex(const std::shared_ptr<TIndexFile>& file, bool discard_if_empty = false);
  // Adds (or replaces) a tag of an attached file and builds it from every record while writers
  // wait. Raises EIndexError / EExprError with the file unchanged.
  void BuildTag(TIndexFile& file, const TTagDefinition& def);
  const TTableStructure& Structure() const { return structure_; }
  // What an index file records of the table it keeps (IndexFormat.h): CRC-32 of the update date,
  // the fixed header after the record count, and the field descriptors.
  uint32_t Fingerprint() const;

 private:
  class TLockedRecords;
  struct TIndexHold {
    std::shared_ptr<TIndexFile> file;
    int holders;
  };
  void OpenMemo(bool has_memo_fields);
  void CheckWritable() const;
  void CheckNotLockedByOther(uint32_t recno, TLockOwner owner) const;
  uint32_t ReadCountFromFile() const;
  void WriteCountToFile();
  std::string ReadRecordLocked(uint32_t recno) const;
  void StoreLocked(uint32_t recno, const std::string& old_image, const std::string& new_image);
  void CheckObservers() const;
  void TellObservers(uint32_t recno, std::string_view old_image, std::string_view new_image);
  void TakeBack(size_t told, uint32_t recno, std::string_view old_image, std::string_view new_image) noexcept;
  int HeaderLockFd() const { return exclusive_ ? -1 : dbf_.Fd(); }
  void OpenOwnIndex();
  std::shared_ptr<TIndexFile> OpenIndexFile(const std::string& path);
  // Why `file` cannot be trusted for this table as it stands; "" when it can.
  std::string Disagreement(TIndexFile& file);
  // Tells every attached index file the table's state, before they are written.
  void NoteStateInIndexes();
  void Attach(const std::shared_ptr<TIndexFile>& file, int holders);
  void TakeIndexLock();
  void DropIndexes() noexcept;

  TTableFile dbf_;
  bool exclusive_;
  TDbfHeader header_;
  std::vector<TFieldInfo> fields_;
  std::string descriptors_;  // the header after its first 32 bytes, as read at open
  std::string blank_;
  TMemoKind memo_kind_ = TMemoKind::none;
  std::unique_ptr<TMemoFile> memo_;
  std::unique_ptr<TLockTable> locks_;

  mutable std::shared_mutex rw_;  // records and the memo file
  // Threads of this process share one open of the file and so one set of byte-range locks: a
  // shared request on the header byte would turn another thread's exclusive one into a shared
  // one. The header byte is therefore taken by one thread at a time.
  std::mutex header_mutex_;
  std::atomic<uint32_t> count_{0};
  bool header_dirty_ = false;     // exclusive tables: the count in memory is not in the file yet
  std::vector<TRecordObserver*> observers_;

  TTableStructure structure_{*this};
  // Changed with the reader/writer lock held (shared or exclusive) and this mutex, so writers,
  // which hold the lock exclusively, read them without it.
  mutable std::mutex index_mutex_;
  std::vector<TIndexHold> indexes_;
  std::shared_ptr<TIndexFile> own_index_;
  bool index_lock_held_ = false;
};

// The memo file beside a table file: the table's name with the memo extension, in the letter
// case of the table's own extension; the other case when only that exists.
std::string MemoPathFor(const std::string& dbf_path, TMemoKind kind);

}  // namespace tavrik::xbase
