// The errors of index files: EIndexError for a refused operation (bad tag name, too many tags,
// file missing, read-only), and three kinds of file that cannot be used as they are:
// EIndexForeign (not an index file of this engine, e.g. a .CDX or garbage), EIndexCorrupt (ours,
// but damaged) and EIndexStale (not closed cleanly, so it may miss changes). The last two are
// mended by TIndexFile::Repair.
#pragma once

#include "core/Exception.h"

namespace tavrik::xbase {

TAVRIK_EXCEPTION(EIndexError, Exception);
TAVRIK_EXCEPTION(EIndexForeign, EIndexError);
TAVRIK_EXCEPTION(EIndexCorrupt, EIndexError);
TAVRIK_EXCEPTION(EIndexStale, EIndexError);

}  // namespace tavrik::xbase
