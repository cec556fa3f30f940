// Opening a file for reading without sharing it: the open fails while anyone else has the file
// open, so that nobody changes a file while it is being read whole (a file about to be sent).
//
// Linux has no sharing modes; the stand-in opens the file, takes an open-file-description read
// lock over all of it (refused while another holds a write lock) and then looks through every
// process's open descriptors (/proc/*/fd, as fuser does), this process's own other ones included,
// for the same file. Limits: descriptors of processes the caller may not inspect (other users')
// are not seen, memory mappings whose descriptor was closed are not seen, and an open that comes
// after the check is not prevented; the lock held until the descriptor is closed keeps writers
// that lock from starting.
#pragma once

#include <string>

namespace tavrik::platform {

struct TExclusiveOpen {
  int fd = -1;    // read-only, closed on exec; the caller closes it
  int error = 0;  // when fd is -1: the errno of the failure, EBUSY when the file is open elsewhere
};

// `path` must name a regular file (EISDIR for a folder, EINVAL for anything else).
TExclusiveOpen OpenReadExclusive(const std::string& path);

}  // namespace tavrik::platform
