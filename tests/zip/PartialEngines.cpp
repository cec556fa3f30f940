// Engines that lack one of their two entry points: built twice, with NO_EXEC or NO_VERSION.
#include "zip/ZIPENG.h"

using namespace tavrik;

#ifndef NO_VERSION
extern "C" __attribute__((visibility("default"))) int32_t ZIPENG_CALL GetZipEngVersion() { return 160; }
#endif
#ifndef NO_EXEC
extern "C" __attribute__((visibility("default"))) int32_t ZIPENG_CALL ZipEngExec(ZipCallCommon*) { return 1; }
#endif
