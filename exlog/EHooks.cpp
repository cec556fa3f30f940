// The throw hook: every C++ throw of the program passes here first, so the stack is taken
// where the error was raised, before any handler unwinds it. This file throws nothing and
// includes no ABI header, so the hook's declaration is the one the compiler itself uses.
//
// The switch of the recording lives here too: a program that switches it on links this file,
// and with it the hook, even where a library linked before (a sanitizer's run-time) already
// defines __cxa_throw.
#include <dlfcn.h>

#include <atomic>

#include <cstdint>
#include <cstdlib>

#include "exlog/ECapture.h"

namespace tavrik::exlog {

namespace {
std::atomic<bool> g_recording{false};
}  // namespace

void SetRaiseRecording(bool on) { g_recording = on; }
bool RaiseRecording() { return g_recording; }

}  // namespace tavrik::exlog

namespace {

using ThrowFunction = void (*)(void*, void*, void (*)(void*));

ThrowFunction RealThrow() {
  static const ThrowFunction real = reinterpret_cast<ThrowFunction>(::dlsym(RTLD_NEXT, "__cxa_throw"));
  return real;
}

}  // namespace

extern "C" __attribute__((noreturn)) void __cxa_throw(void* object, void* type, void (*destructor)(void*)) {
  if (tavrik::exlog::RaiseRecording()) {
    const uintptr_t arguments[3] = {reinterpret_cast<uintptr_t>(object), reinterpret_cast<uintptr_t>(type),
                                    reinterpret_cast<uintptr_t>(destructor)};
    tavrik::exlog::RecordRaise(object, type, arguments);
  }
  ThrowFunction real = RealThrow();
  if (!real) std::abort();  // no C++ run-time library below us: nothing could catch anyway
  real(object, type, destructor);
  __builtin_unreachable();
}
