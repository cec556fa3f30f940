#include "tables/MDE61.h"

#include "platform/DynLib.h"

namespace tavrik {

namespace {

struct Binding {
  platform::TDynLib library;
  TMDE61Api api;
  bool loaded = false;
};

Binding& TheBinding() {
  static Binding binding;  // released with the process
  return binding;
}

}  // namespace

const TMDE61Api& MDE61() {
  Binding& b = TheBinding();
  if (b.loaded) return b.api;
  const char* kMessage = "Unable to load required Marvek DLL: MDE61.DLL";
  if (!b.library.Load("MDE61.DLL")) throw EMarvekDllError(kMessage);
  TMDE61Api api;
  bool complete = true;
#define MX_RESOLVE(ret, name, params)                                                  \
  api.name = reinterpret_cast<ret(*) params>(b.library.Symbol("mx_" #name));          \
  complete = complete && api.name != nullptr;
  MDE61_ENTRY_POINTS(MX_RESOLVE)
#undef MX_RESOLVE
  if (!complete) {
    b.library.Unload();
    throw EMarvekDllError(kMessage);
  }
  b.api = api;
  b.loaded = true;
  // Failures come back as results, never as the engine's own messages.
  b.api.ErrorLevel(0);
  return b.api;
}

bool MDE61Loaded() { return TheBinding().loaded; }

}  // namespace tavrik
