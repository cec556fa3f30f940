// Byte-range locks between processes on a table file (open file description locks, so that each
// open of the file owns its locks and closing another descriptor of the same file keeps them).
// The locked bytes lie far beyond any real data; they guard, they are never read or written:
//
//   OFFSET                 SIZE  HELD                              BY
//   kLockBase - 1          1     exclusive (shared when the file   a process with index files on
//                                may only be read)                 the table: no other process
//                                                                  may have the table open
//   kLockBase              1     shared by every opener,           presence of the table
//                                exclusive by an exclusive opener
//   kLockBase + 1          1     exclusive, briefly                changes of the record count, of the
//                                                                  end of the file and of the memo
//                                                                  file's free block pointer
//   kLockBase + 1 + recno  1     exclusive, while the record is    record lock of record `recno`
//                                locked
//
// Threads of one process share these locks; TLockTable sorts out the owners inside a process.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tavrik::xbase {

constexpr int64_t kLockBase = int64_t{1} << 40;
constexpr int64_t kIndexLockOffset = kLockBase - 1;
constexpr int64_t kPresenceLockOffset = kLockBase;
constexpr int64_t kHeaderLockOffset = kLockBase + 1;
inline int64_t RecordLockOffset(uint32_t recno) { return kLockBase + 1 + recno; }

enum class TLockKind { shared, exclusive };

// One attempt, never waits: true when granted. Raises ETableError when the system refuses the
// request for another reason than a conflicting lock.
bool TryLockByte(int fd, int64_t offset, TLockKind kind);
// Attempts until granted or `wait` has passed (0: one attempt).
bool LockByteWithin(int fd, int64_t offset, TLockKind kind, std::chrono::milliseconds wait);
void UnlockByte(int fd, int64_t offset);
// True when another open of the file holds a lock on the byte that conflicts with an exclusive one.
bool ByteLockedElsewhere(int fd, int64_t offset);

// Holds the header byte for one change of the record count or of the file's end (exclusive), or
// for one reading of the record count (shared).
class THeaderLock {
 public:
  // `fd` < 0 takes nothing (a table opened exclusively needs no lock). Raises ETableError
  // "Timed out waiting for the header of <path>" when the lock does not come within seconds.
  THeaderLock(int fd, const std::string& path, TLockKind kind = TLockKind::exclusive);
  ~THeaderLock();
  THeaderLock(const THeaderLock&) = delete;
  THeaderLock& operator=(const THeaderLock&) = delete;

 private:
  int fd_;
};

}  // namespace tavrik::xbase
