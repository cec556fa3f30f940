// The binding of the local engine library MDE61.DLL (libmde61.so here): loaded once per process
// on first need, every entry point of the list resolved by name, released when the process ends.
#pragma once

#include "core/Exception.h"
#include "xbase/MDE61Api.h"

namespace tavrik {

// Raised when the library or one of its entry points is missing.
TAVRIK_EXCEPTION(EMarvekDllError, Exception);

// One function pointer per entry point, named as the entry point without its "mx_".
struct TMDE61Api {
#define MX_FIELD(ret, name, params) ret(*name) params = nullptr;
  MDE61_ENTRY_POINTS(MX_FIELD)
#undef MX_FIELD
};

// The library's entry points, loading it on the first call. Raises EMarvekDllError
// "Unable to load required Marvek DLL: MDE61.DLL" when the library cannot be loaded or lacks an
// entry point; a later call tries again.
const TMDE61Api& MDE61();
bool MDE61Loaded();

}  // namespace tavrik
