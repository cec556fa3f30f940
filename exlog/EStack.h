// Call stacks: the frames of the running thread taken by the unwinder, and their description
// (module, unit, class, procedure, line) from the debug information through libdw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrik::exlog {

// One frame as taken: the address, and whether it is the very instruction (the interrupted one of
// a signal) rather than a return address that points past its call.
struct TFrame {
  uintptr_t address = 0;
  bool exact = false;
  bool operator==(const TFrame&) const = default;
};

// The eight registers of the CPU section, in its order (pairs side by side): on x86-64 RAX RDI,
// RBX RSI, RCX RSP, RDX RIP (EAX ... EIP on i386). A register that cannot be known is marked so.
constexpr int kRegisterCount = 8;
enum TRegister : int { rgAX, rgDI, rgBX, rgSI, rgCX, rgSP, rgDX, rgIP };
struct TRegisters {
  uintptr_t value[kRegisterCount] = {};
  bool known[kRegisterCount] = {};
  void Set(int index, uintptr_t v) {
    value[index] = v;
    known[index] = true;
  }
  static const char* Name(int index);
};

// Takes at most `max` frames of the calling thread into `out`, leaving out the `skip` innermost
// (this function is frame 0). With `registers`, the callee-saved registers, the stack pointer
// and the instruction pointer of the first frame taken are read as the unwinder restores them.
// Allocates nothing, so it may run in a signal handler. Returns the count taken.
size_t CaptureFrames(TFrame* out, size_t max, size_t skip, TRegisters* registers = nullptr);

struct TStackEntry {
  uintptr_t address = 0;
  std::string module;     // file name of the module
  std::string unit;       // source file name
  std::string class_name;
  std::string procedure;
  int line = 0;  // 0 = unknown
};

// Describes addresses of this process from the symbol tables and debug information of its
// modules, as loaded at construction. Not thread-safe: one report uses one list.
class TRavlogFunctionsList {
 public:
  TRavlogFunctionsList();
  ~TRavlogFunctionsList();
  TRavlogFunctionsList(const TRavlogFunctionsList&) = delete;
  TRavlogFunctionsList& operator=(const TRavlogFunctionsList&) = delete;

  TStackEntry Describe(const TFrame& frame);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class TRavlogStackList {
 public:
  // Describes `frames` in order; a first frame equal to the second is dropped.
  void Build(const std::vector<TFrame>& frames, TRavlogFunctionsList& functions);
  const std::vector<TStackEntry>& Entries() const { return entries_; }

 private:
  std::vector<TStackEntry> entries_;
};

}  // namespace tavrik::exlog
