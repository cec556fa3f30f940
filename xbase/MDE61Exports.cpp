// The exported entry points of libmde61.so. The engine is not here yet: every entry point
// answers its empty value, which callers read as a failure.
#include "xbase/MDE61Api.h"

namespace {
template <typename T>
T Empty() {
  if constexpr (__is_same(T, const char*))
    return "";
  else
    return T{};
}
template <>
void Empty<void>() {}
}  // namespace

#pragma GCC diagnostic ignored "-Wunused-parameter"

#define MX_STUB(ret, name, params) \
  extern "C" __attribute__((visibility("default"))) ret mx_##name params { return Empty<ret>(); }
MDE61_ENTRY_POINTS(MX_STUB)
