// The errors of the table engine: ETableError for every refused operation (bad arguments, locks,
// modes, I/O failures), ETableCorrupt for a file whose bytes cannot be right.
#pragma once

#include "core/Exception.h"

namespace tavrik::xbase {

TAVRIK_EXCEPTION(ETableError, Exception);
TAVRIK_EXCEPTION(ETableCorrupt, ETableError);

}  // namespace tavrik::xbase
