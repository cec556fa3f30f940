// The vocabulary of the data-access framework: dataset states, fetch modes and results, bookmark
// flags, locate options, blob stream modes and the events a dataset sends to its data links.
#pragma once

#include <cstdint>
#include <string>

#include "core/FieldTypes.h"

namespace tavrik {

enum class TDataSetState : uint8_t {
  dsInactive,    // closed
  dsOpening,     // the descendant's open step is running
  dsBrowse,      // open, moving through records
  dsEdit,        // the active record is being changed
  dsInsert,      // a new record is being made
  dsSetKey,      // a key value is being entered
  dsCalcFields,  // calculated fields of one buffer are being computed
  dsFilter,      // OnFilterRecord is judging one buffer
  dsNewValue,    // field values are being read or written as new values
  dsOldValue,    // field values are being read as they were before the edit
};

// What a descendant is asked to fetch, relative to the record its cursor is on.
enum class TGetMode : uint8_t { gmCurrent = 0, gmNext = 1, gmPrior = 2 };
enum class TGetResult : uint8_t { grOK = 0, grBOF = 1, grEOF = 2, grError = 3 };
// Where a buffer's record stands: on a record, before the first, after the last, or new.
enum class TBookmarkFlag : uint8_t { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };

enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = unsigned;

enum class TBlobStreamMode : uint8_t { bmRead, bmWrite, bmReadWrite };

enum TResyncOption : unsigned { rmExact = 1, rmCenter = 2 };
using TResyncMode = unsigned;

enum class TDataEvent : uint8_t {
  deFieldChange,      // a field of the active record changed
  deRecordChange,     // the active record changed as a whole
  deDataSetChange,    // the buffers were refilled
  deDataSetScroll,    // the active record moved within the buffers
  deLayoutChange,     // fields were added, removed or rebound
  deUpdateRecord,     // controls are asked to write their edits into the fields
  deUpdateState,      // the state changed
  deCheckBrowseMode,  // controls are asked to finish their edits
};

// A record buffer: a block of the size the descendant reports, owned by the dataset's ring.
using TRecordBuffer = char*;
// A bookmark: the descendant's bookmark data, as bytes; empty is the null bookmark.
using TBookmark = std::string;

}  // namespace tavrik
