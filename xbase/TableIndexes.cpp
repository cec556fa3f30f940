// The index files a table keeps current: its own index file, opened with the table; the others,
// attached while work areas hold them; the fixed settings their keys are evaluated under; and the
// lock byte that keeps other processes away while this one has index files on a shared table.
#include <sys/stat.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <map>

#include "platform/Paths.h"
#include "xbase/IndexError.h"
#include "xbase/IndexFile.h"
#include "xbase/LockRegion.h"
#include "xbase/Table.h"
#include "xbase/TableError.h"

namespace tavrik::xbase {

namespace {

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Which table each attached index file keeps current: a file belongs to one table, whose field
// layout its keys were compiled against.
std::mutex& OwnersMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<const TIndexFile*, const TTable*>& Owners() {
  static std::map<const TIndexFile*, const TTable*> owners;
  return owners;
}

}  // namespace

// ---- the structure as index keys see it ----

int TTableStructure::FieldIndex(std::string_view upper_name) const { return table_.FieldIndex(upper_name); }
const TFieldInfo& TTableStructure::Field(int index) const { return table_.Fields().at(size_t(index)); }
std::string_view TTableStructure::RecordImage() const { return table_.BlankRecord(); }

const TEngineSettings& TTableStructure::Settings() const {
  static const TEngineSettings fixed{};
  return fixed;
}

// Records for a tag build or a repair, read while the caller holds the reader/writer lock.
class TTable::TLockedRecords : public TRecordSource {
 public:
  explicit TLockedRecords(TTable& table) : table_(table) {}
  uint32_t RecordCount() override { return table_.count_; }
  std::string_view RecordImage(uint32_t recno) override {
    image_ = table_.ReadRecordLocked(recno);
    return image_;
  }

 private:
  TTable& table_;
  std::string image_;
};

// ---- opening and holding ----

std::string TTable::OwnIndexPath() const {
  const std::string path = ProductionIndexPath(Path());
  if (platform::PathExists(path)) return path;
  // A file whose extension is in the other letter case is the same index.
  const size_t dot = path.rfind('.');
  const std::string ext = path.substr(dot);
  const std::string other = path.substr(0, dot) + (ext == ".MXI" ? ".mxi" : ".MXI");
  return platform::PathExists(other) ? other : path;
}

uint32_t TTable::Fingerprint() const {
  const std::string fixed = header_.Serialize();
  uLong crc = crc32_z(0, reinterpret_cast<const Bytef*>(fixed.data()) + 1, 3);  // the update date
  crc = crc32_z(crc, reinterpret_cast<const Bytef*>(fixed.data()) + 8, kDbfHeaderSize - 8);
  return static_cast<uint32_t>(crc32_z(crc, reinterpret_cast<const Bytef*>(descriptors_.data()), descriptors_.size()));
}

std::string TTable::Disagreement(TIndexFile& file) {
  if (file.TableRecords() != count_ || file.TableFingerprint() != Fingerprint())
    return "Index file " + file.FileName() + " was not written for table " + Path() +
           " as it stands (it belongs to another table, is an older copy, or records were added without it)";
  TLockedRecords records(*this);
  return file.Disagreement(records).value_or("");
}

void TTable::NoteStateInIndexes() {
  for (const TIndexHold& hold : indexes_) hold.file->SetTableState(count_, Fingerprint());
}

std::shared_ptr<TIndexFile> TTable::OpenIndexFile(const std::string& path) {
  std::string stale;
  try {
    std::shared_ptr<TIndexFile> file = TIndexFile::Open(path, structure_, !Writable());
    // One this table holds already was checked when it came.
    const bool held = std::any_of(indexes_.begin(), indexes_.end(), [&](const TIndexHold& h) { return h.file == file; });
    stale = held ? std::string() : Disagreement(*file);
    if (stale.empty()) return file;
  } catch (const EIndexStale& e) {
    // Not closed cleanly (a crash, or a change that failed half-way) or made for fields that
    // have changed since: the definitions are sound, so the keys are built again from them.
    stale = e.Message();
  }
  if (!Writable()) throw EIndexStale(stale + "; it cannot be rebuilt while the table is open read-only");
  TLockedRecords records(*this);
  return TIndexFile::Repair(path, structure_, records);
}

void TTable::OpenOwnIndex() {
  const std::string path = OwnIndexPath();
  if (!platform::PathExists(path)) return;
  std::shared_lock<std::shared_mutex> writers_wait(rw_);
  std::lock_guard<std::mutex> guard(index_mutex_);
  std::shared_ptr<TIndexFile> file = OpenIndexFile(path);
  Attach(file, 1);
  own_index_ = std::move(file);
}

std::shared_ptr<TIndexFile> TTable::OwnIndex() const {
  std::lock_guard<std::mutex> guard(index_mutex_);
  return own_index_;
}

void TTable::TakeIndexLock() {
  if (exclusive_ || index_lock_held_) return;
  const int fd = dbf_.Fd();
  if (!Writable()) {
    // A reader cannot make a file stale; it only keeps writers of other processes away.
    TryLockByte(fd, kIndexLockOffset, TLockKind::shared);
    index_lock_held_ = true;
    return;
  }
  if (!TryLockByte(fd, kIndexLockOffset, TLockKind::exclusive))
    throw ETableError("Table " + Path() + " is in use with index files by another process");
  // Taken before looking, so that a process opening the table at the same moment sees the byte.
  if (ByteLockedElsewhere(fd, kPresenceLockOffset)) {
    UnlockByte(fd, kIndexLockOffset);
    throw ETableError("Table " + Path() + " is open in another process; index files need the table to themselves");
  }
  index_lock_held_ = true;
}

void TTable::Attach(const std::shared_ptr<TIndexFile>& file, int holders) {
  for (TIndexHold& hold : indexes_) {
    if (hold.file != file) continue;
    hold.holders += holders;
    return;
  }
  {
    std::lock_guard<std::mutex> guard(OwnersMutex());
    auto it = Owners().find(file.get());
    if (it != Owners().end() && it->second != this)
      throw EIndexError("Index file " + file->FileName() + " belongs to table " + it->second->Path());
    TakeIndexLock();
    Owners()[file.get()] = this;
  }
  indexes_.push_back({file, holders});
  observers_.push_back(file.get());
  file->SetTableState(count_, Fingerprint());
}

std::shared_ptr<TIndexFile> TTable::HoldIndex(const std::string& path, bool create) {
  std::shared_lock<std::shared_mutex> writers_wait(rw_);
  std::lock_guard<std::mutex> guard(index_mutex_);
  std::shared_ptr<TIndexFile> file;
  bool created = false;
  if (create && !platform::PathExists(path)) {
    CheckWritable();
    file = TIndexFile::Create(path, structure_);
    created = true;
  } else {
    file = OpenIndexFile(path);
  }
  const bool own = !own_index_ && SameFile(path, OwnIndexPath());
  try {
    Attach(file, own ? 2 : 1);  // the table holds its own index while it is open
  } catch (...) {
    if (created) {
      file.reset();
      ::unlink(path.c_str());
    }
    throw;
  }
  if (own) own_index_ = file;
  return file;
}

void TTable::HoldIndex(const std::shared_ptr<TIndexFile>& file) {
  std::shared_lock<std::shared_mutex> writers_wait(rw_);
  std::lock_guard<std::mutex> guard(index_mutex_);
  Attach(file, 1);
}

void TTable::ReleaseIndex(const std::shared_ptr<TIndexFile>& file, bool discard_if_empty) {
  std::unique_lock<std::shared_mutex> no_writer(rw_);
  std::lock_guard<std::mutex> guard(index_mutex_);
  auto it = std::find_if(indexes_.begin(), indexes_.end(), [&](const TIndexHold& h) { return h.file == file; });
  if (it == indexes_.end()) return;
  const bool discard = discard_if_empty && file->TagCount() == 0 && it->holders == (file == own_index_ ? 2 : 1);
  if (discard && file == own_index_) {
    own_index_.reset();
    --it->holders;
  }
  if (--it->holders > 0) return;
  indexes_.erase(it);
  observers_.erase(std::remove(observers_.begin(), observers_.end(), file.get()), observers_.end());
  {
    std::lock_guard<std::mutex> owners(OwnersMutex());
    Owners().erase(file.get());
  }
  if (indexes_.empty() && index_lock_held_) {
    UnlockByte(dbf_.Fd(), kIndexLockOffset);
    index_lock_held_ = false;
  }
  if (discard) {
    ::unlink(file->FileName().c_str());
    return;
  }
  file->SetTableState(count_, Fingerprint());
  file->Flush();
}

void TTable::BuildTag(TIndexFile& file, const TTagDefinition& def) {
  CheckWritable();
  RefreshRecCount();
  std::shared_lock<std::shared_mutex> writers_wait(rw_);
  TLockedRecords records(*this);
  file.SetTableState(count_, Fingerprint());
  file.CreateTag(def, structure_, records);
}

void TTable::DropIndexes() noexcept {
  std::unique_lock<std::shared_mutex> no_writer(rw_);
  std::lock_guard<std::mutex> guard(index_mutex_);
  try {
    NoteStateInIndexes();  // written when the last holder lets go
  } catch (const Exception&) {
    // A file that cannot take the note stays marked as not closed cleanly, and is rebuilt.
  }
  {
    std::lock_guard<std::mutex> owners(OwnersMutex());
    for (const TIndexHold& hold : indexes_) Owners().erase(hold.file.get());
  }
  for (const TIndexHold& hold : indexes_)
    observers_.erase(std::remove(observers_.begin(), observers_.end(), hold.file.get()), observers_.end());
  indexes_.clear();
  own_index_.reset();
  index_lock_held_ = false;  // the byte goes with the descriptor
}

}  // namespace tavrik::xbase
