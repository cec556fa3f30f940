#include "tests/tables/InProcessMde61.h"

#define MX_DECLARE(ret, name, params) extern "C" ret mx_##name params;
MDE61_ENTRY_POINTS(MX_DECLARE)
#undef MX_DECLARE

namespace tavrik::testing {

const TMDE61Api& InProcessMde61() {
  static const TMDE61Api api = [] {
    TMDE61Api a;
#define MX_BIND(ret, name, params) a.name = &mx_##name;
    MDE61_ENTRY_POINTS(MX_BIND)
#undef MX_BIND
    return a;
  }();
  return api;
}

}  // namespace tavrik::testing
