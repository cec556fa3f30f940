// The settings of the xBase engine that govern comparisons, dates, deleted records, memo blocks
// and locks. Each work area keeps its own copy; the Set... operations change the work area's.
#pragma once

namespace tavrik::xbase {

struct TEngineSettings {
  bool exact = false;       // string comparison must match the whole length
  bool soft_seek = false;   // a failed seek stops on the next greater key instead of the end
  bool deleted = false;     // true: deleted records are hidden from navigation and counts
  bool century = true;      // dates shown with four-digit years
  int epoch = 1980;         // two-digit years are placed in the century window starting here
  int date_format = 0;      // 0 American .. 6 Spanish, 99 the system's default
  int memo_block_size = 64; // block size for newly created FoxPro memo files
  int lock_timeout = 1;     // seconds a record lock waits for another work area's lock
  bool translate = false;   // OEM translation of character data
};

}  // namespace tavrik::xbase
