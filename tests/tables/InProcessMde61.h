// The entry points of the local engine linked into the test program itself, so that tables in
// amLocal run on the same engine (and the same tables and locks) as the test's own work areas,
// without loading the library.
#pragma once

#include "tables/MDE61.h"

namespace tavrik::testing {

const TMDE61Api& InProcessMde61();

}  // namespace tavrik::testing
