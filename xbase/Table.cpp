#include "xbase/Table.h"

#include <algorithm>

#include "core/ByteOrder.h"
#include "core/StrUtils.h"
#include "platform/Paths.h"
#include "xbase/DbfFields.h"
#include "xbase/FieldCodec.h"
#include "xbase/LockRegion.h"
#include "xbase/TableError.h"

namespace tavrik::xbase {

std::string MemoPathFor(const std::string& dbf_path, TMemoKind kind) {
  const size_t slash = dbf_path.rfind('/');
  const size_t dot = dbf_path.rfind('.');
  const bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string base = has_ext ? dbf_path.substr(0, dot) : dbf_path;
  const std::string ext = has_ext ? dbf_path.substr(dot + 1) : std::string();
  const bool lower = !ext.empty() && ext.find_first_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos;
  const std::string upper_ext = kind == TMemoKind::dbt ? ".DBT" : ".FPT";
  const std::string lower_ext = kind == TMemoKind::dbt ? ".dbt" : ".fpt";
  const std::string first = base + (lower ? lower_ext : upper_ext);
  const std::string second = base + (lower ? upper_ext : lower_ext);
  if (!platform::PathExists(first) && platform::PathExists(second)) return second;
  return first;
}

TTable::TTable(const std::string& path, bool exclusive) : exclusive_(exclusive) {
  try {
    dbf_ = TTableFile::Open(path, true);
  } catch (const ETableError&) {
    // A file we may only read is still a table to read.
    if (exclusive || !platform::PathExists(path)) throw;
    dbf_ = TTableFile::Open(path, false);
  }
  // Other processes first: nobody may hold the table exclusively while we use it.
  if (!TryLockByte(dbf_.Fd(), kPresenceLockOffset, exclusive ? TLockKind::exclusive : TLockKind::shared))
    throw ETableError(exclusive ? "Table " + path + " is in use by another process"
                                : "Table " + path + " is opened exclusively by another process");
  const uint64_t size = dbf_.Size();
  header_ = TDbfHeader::Parse(dbf_.ReadUpTo(0, kDbfHeaderSize), size, path);
  if (header_.encrypted) throw ETableError("Table " + path + " is encrypted, which this engine cannot read");
  const std::string header_bytes = dbf_.ReadExact(0, header_.header_length, "the header ends early");
  fields_ = ParseFieldDescriptors(header_bytes, header_, path);
  descriptors_ = header_bytes.substr(kDbfHeaderSize);
  blank_.assign(header_.record_length, ' ');
  count_ = header_.record_count;
  const bool has_memo_fields =
      std::any_of(fields_.begin(), fields_.end(), [](const TFieldInfo& f) { return IsMemoType(f.type); });
  OpenMemo(has_memo_fields);
  locks_ = std::make_unique<TLockTable>(exclusive ? -1 : dbf_.Fd());
  if (!exclusive && ByteLockedElsewhere(dbf_.Fd(), kIndexLockOffset))
    throw ETableError("Table " + path + " is in use with index files by another process");
  OpenOwnIndex();
}

TTable::~TTable() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; Close is called on every ordinary path first.
  }
}

void TTable::OpenMemo(bool has_memo_fields) {
  TMemoKind kind = header_.AnnouncedMemo();
  if (kind == TMemoKind::none && has_memo_fields) {
    // Some writers leave the memo flag out of the version byte: look for either file.
    if (platform::PathExists(MemoPathFor(Path(), TMemoKind::fpt)))
      kind = TMemoKind::fpt;
    else if (platform::PathExists(MemoPathFor(Path(), TMemoKind::dbt)))
      kind = TMemoKind::dbt;
    else
      throw ETableError("Table " + Path() + " has memo fields but no memo file");
  }
  if (kind == TMemoKind::none) return;
  const std::string memo_path = MemoPathFor(Path(), kind);
  if (!platform::PathExists(memo_path)) {
    if (has_memo_fields) throw ETableError("Memo file " + memo_path + " not found");
    return;  // announced but unused: the records need nothing from it
  }
  memo_ = OpenMemoFile(memo_path, kind, dbf_.Writable());
  memo_kind_ = kind;
}

int TTable::FieldIndex(std::string_view upper_name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i].name == upper_name) return int(i);
  return -1;
}

uint32_t TTable::ReadCountFromFile() const {
  const uint32_t count = GetLe32(dbf_.ReadExact(4, 4, "the header ends early"), 0);
  const uint64_t size = dbf_.Size();
  const uint64_t room = size > header_.header_length ? (size - header_.header_length) / header_.record_length : 0;
  if (count > room)
    throw ETableCorrupt("Corrupt table " + Path() + ": the header counts " + std::to_string(count) +
                        " records but the file holds " + std::to_string(room));
  return count;
}

uint32_t TTable::RefreshRecCount() {
  if (exclusive_) return count_;
  std::lock_guard<std::mutex> one_thread(header_mutex_);
  THeaderLock guard(dbf_.Fd(), Path(), TLockKind::shared);
  const uint32_t count = ReadCountFromFile();
  count_ = count;
  return count;
}

void TTable::WriteCountToFile() {
  // The update date and the count, bytes 1 to 7, in one write.
  StampUpdateDate(header_);
  header_.record_count = count_;
  dbf_.Write(1, header_.Serialize().substr(1, 7));
  header_dirty_ = false;
}

void TTable::CheckWritable() const {
  if (!dbf_.Writable()) throw ETableError("Table " + Path() + " is open read-only");
}

void TTable::CheckNotLockedByOther(uint32_t recno, TLockOwner owner) const {
  if (locks_->HeldByOther(recno, owner))
    throw ETableError("Record " + std::to_string(recno) + " of " + Path() + " is locked by another user");
}

std::string TTable::ReadRecordLocked(uint32_t recno) const {
  // Every record read passes here: its message is made only when it is needed.
  std::string image = dbf_.ReadUpTo(header_.RecordOffset(recno), header_.record_length);
  if (image.size() != header_.record_length)
    throw ETableCorrupt("Corrupt file " + dbf_.Path() + ": record " + std::to_string(recno) +
                        " lies past the end of the file");
  return image;
}

std::string TTable::ReadRecord(uint32_t recno) {
  if (recno == 0 || (recno > count_ && (exclusive_ || recno > RefreshRecCount())))
    throw ETableError("Record " + std::to_string(recno) + " does not exist in " + Path());
  std::shared_lock<std::shared_mutex> guard(rw_);
  return ReadRecordLocked(recno);
}

void TTable::CheckObservers() const {
  for (const TRecordObserver* o : observers_) o->CheckWritable();
}

void TTable::TellObservers(uint32_t recno, std::string_view old_image, std::string_view new_image) {
  size_t told = 0;
  try {
    for (; told < observers_.size(); ++told) observers_[told]->RecordChanged(recno, old_image, new_image);
  } catch (...) {
    TakeBack(told, recno, old_image, new_image);
    throw;
  }
}

void TTable::TakeBack(size_t told, uint32_t recno, std::string_view old_image, std::string_view new_image) noexcept {
  for (size_t i = 0; i < told; ++i) {
    try {
      observers_[i]->RecordChanged(recno, new_image, old_image);
    } catch (...) {
      // That observer is broken now and says so at its next use; the first failure is the one
      // the writer hears of.
    }
  }
}

void TTable::StoreLocked(uint32_t recno, const std::string& old_image, const std::string& new_image) {
  // The observers first: one that refuses leaves the record as it was.
  TellObservers(recno, old_image, new_image);
  try {
    dbf_.Write(header_.RecordOffset(recno), new_image);
  } catch (...) {
    TakeBack(observers_.size(), recno, old_image, new_image);
    throw;
  }
}

std::string TTable::WriteRecord(uint32_t recno, std::string_view image, TLockOwner owner) {
  CheckWritable();
  if (image.size() != header_.record_length)
    throw ETableError("A record of " + Path() + " has " + std::to_string(header_.record_length) + " bytes, not " +
                      std::to_string(image.size()));
  if (image[0] != ' ' && image[0] != '*')
    throw ETableError("A record's deletion flag must be a blank or \"*\"");
  return UpdateRecord(recno, owner, [&](std::string& stored) {
    std::string next(image);
    for (const TFieldInfo& f : fields_)
      if (IsMemoType(f.type)) next.replace(size_t(f.offset), size_t(f.width), FieldText(stored, f));
    stored = std::move(next);
  });
}

std::string TTable::UpdateRecord(uint32_t recno, TLockOwner owner, const std::function<void(std::string&)>& change) {
  CheckWritable();
  if (recno == 0 || (recno > count_ && (exclusive_ || recno > RefreshRecCount())))
    throw ETableError("Record " + std::to_string(recno) + " does not exist in " + Path());
  std::unique_lock<std::shared_mutex> guard(rw_);
  CheckNotLockedByOther(recno, owner);
  CheckObservers();
  const std::string old_image = ReadRecordLocked(recno);
  std::string image = old_image;
  change(image);
  StoreLocked(recno, old_image, image);
  return image;
}

uint32_t TTable::AppendBlank(TLockOwner owner) {
  CheckWritable();
  std::unique_lock<std::shared_mutex> guard(rw_);
  CheckObservers();
  std::lock_guard<std::mutex> one_thread(header_mutex_);
  THeaderLock header_lock(HeaderLockFd(), Path());
  if (!exclusive_) count_ = ReadCountFromFile();
  if (count_ == 0xFFFFFFFEu) throw ETableError("Table " + Path() + " is full");
  const uint32_t recno = count_ + 1;
  const uint64_t at = header_.RecordOffset(recno);
  std::string bytes = blank_;
  bytes += char(kDbfEndOfFile);
  bool counted = false;
  try {
    dbf_.Write(at, bytes);
    count_ = recno;
    if (exclusive_) {
      header_dirty_ = true;
    } else {
      WriteCountToFile();
      counted = true;
    }
    // Told once the record exists, so that nobody finds it in an index before it can be read.
    TellObservers(recno, std::string_view(), blank_);
  } catch (...) {
    // Leave the file as it was: the records before, and the end mark.
    count_ = recno - 1;
    try {
      dbf_.Truncate(at);
      dbf_.Write(at, std::string(1, char(kDbfEndOfFile)));
      if (counted) WriteCountToFile();
    } catch (...) {
    }
    throw;
  }
  // The new record is its appender's to fill; it cannot be anyone else's yet.
  locks_->Lock(recno, owner, std::chrono::milliseconds(0));
  return recno;
}

TMemoData TTable::ReadMemo(std::string_view image, const TFieldInfo& f) const {
  const std::string_view ref = FieldText(image, f);
  const std::optional<uint32_t> block = ParseMemoReference(ref);
  if (!block)
    throw ETableCorrupt("Corrupt table " + Path() + ": memo field " + f.name + " holds '" + std::string(ref) +
                        "', which is not a block reference");
  if (*block == 0) return {f.type == 'M' ? TMemoType::text : TMemoType::binary, {}};
  if (!memo_) throw ETableError("Table " + Path() + " has no memo file");
  std::shared_lock<std::shared_mutex> guard(rw_);
  return memo_->Read(*block);
}

std::string TTable::WriteMemo(uint32_t recno, int field_index, const TMemoData& data, TLockOwner owner) {
  CheckWritable();
  const TFieldInfo& f = fields_.at(size_t(field_index));
  if (!memo_) throw ETableError("Table " + Path() + " has no memo file");
  if (recno == 0 || (recno > count_ && (exclusive_ || recno > RefreshRecCount())))
    throw ETableError("Record " + std::to_string(recno) + " does not exist in " + Path());
  std::unique_lock<std::shared_mutex> guard(rw_);
  CheckNotLockedByOther(recno, owner);
  CheckObservers();  // before the memo file changes
  std::lock_guard<std::mutex> one_thread(header_mutex_);
  THeaderLock header_lock(HeaderLockFd(), Path());  // guards the memo file's free block pointer
  const std::string old_image = ReadRecordLocked(recno);
  // An unreadable old reference is not reused: its blocks may belong to another memo.
  const uint32_t old_block = ParseMemoReference(FieldText(old_image, f)).value_or(0);
  const uint32_t block = data.bytes.empty() ? 0 : memo_->Write(old_block, data, !exclusive_);
  std::string image = old_image;
  image.replace(size_t(f.offset), size_t(f.width), MemoReferenceText(block));
  if (image != old_image) StoreLocked(recno, old_image, image);
  return image;
}

void TTable::Flush(bool sync) {
  std::unique_lock<std::shared_mutex> guard(rw_);
  if (!dbf_.IsOpen()) return;
  if (header_dirty_) WriteCountToFile();
  NoteStateInIndexes();
  for (TRecordObserver* o : observers_) o->Flush();
  if (sync) {
    dbf_.Sync();
    if (memo_) memo_->Sync();
  }
}

void TTable::Close() {
  if (!dbf_.IsOpen()) return;
  std::exception_ptr failure;
  try {
    Flush(false);
  } catch (...) {
    failure = std::current_exception();
  }
  DropIndexes();
  memo_.reset();
  dbf_.Close();  // also ends this process's byte-range locks on the file
  if (failure) std::rethrow_exception(failure);
}

void TTable::AddObserver(TRecordObserver* observer) {
  std::unique_lock<std::shared_mutex> guard(rw_);
  observers_.push_back(observer);
}

void TTable::RemoveObserver(TRecordObserver* observer) {
  std::unique_lock<std::shared_mutex> guard(rw_);
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

}  // namespace tavrik::xbase
