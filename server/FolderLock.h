// The folders a server serves (file areas and database folders) are its own while it runs: each
// is locked, so a second server started on the same folders refuses to start instead of
// removing the first one's uploads in progress or writing its tables behind its back.
#pragma once

#include <string>

#include "core/Exception.h"

namespace tavrik::server {

TAVRIK_EXCEPTION(EFolderInUse, Exception);

// An advisory lock (flock) on one folder, held until destruction. Locks are per open, so a second
// server in the same process is kept out too.
class TFolderLock {
 public:
  // Raises EFolderInUse "<what> <folder> is served by another marvekd" when it is locked already;
  // a folder that cannot be opened gets no lock (the server reports it missing).
  TFolderLock(const std::string& folder, const std::string& what);
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace tavrik::server
