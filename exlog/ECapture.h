// What the logger keeps of an exception at the moment it is raised (frames, registers, the
// stack and the memory at the exception address), and the description of the exception being
// handled. Every C++ throw of a thread is recorded while recording is on, so that a report made
// later in a handler still shows where the error arose.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "exlog/EStack.h"

namespace tavrik::exlog {

constexpr size_t kMaxFrames = 128;
constexpr size_t kStackWords = 16;
constexpr size_t kMemoryBytes = 256;

// Plain data, filled without allocating (a signal handler fills one too).
struct TRaiseCapture {
  TFrame frames[kMaxFrames];
  size_t frame_count = 0;
  TRegisters registers;
  uintptr_t address = 0;  // the exception address
  uintptr_t stack_address = 0;
  uintptr_t stack_words[kStackWords] = {};
  bool stack_read = false;
  uint8_t memory[kMemoryBytes] = {};
  bool memory_read = false;
  timespec when{};

  std::vector<TFrame> Frames() const { return std::vector<TFrame>(frames, frames + frame_count); }
  // Takes the address from the first frame and the stack words and memory at the stack pointer
  // and the address, each only when readable.
  void Complete();
};

// An exception on its way to a report.
struct TRaisedException {
  std::string class_name;  // "" when there is no exception object
  std::string message;
  TRaiseCapture capture;
  pid_t thread_id = 0;
  bool main_thread = true;
  std::vector<TFrame> creation_frames;  // where the thread was created, for the program's threads
};

// Copies `size` bytes of this process at `address` when every one of them can be read.
bool ReadOwnMemory(uintptr_t address, void* out, size_t size);

// The stack of the calling thread, leaving out `skip` innermost frames of the caller.
void CaptureHere(TRaiseCapture& out, size_t skip = 0);

// Switches the recording of every throw on or off (off by default).
void SetRaiseRecording(bool on);
bool RaiseRecording();
// Called by the throw hook: records the raise of `object` (of type `type`) on this thread.
// `argument_registers` are the three first arguments of the throw call, which are registers
// at the raise.
void RecordRaise(const void* object, const void* type, const uintptr_t argument_registers[3]);

// The exception being handled (call inside a catch block, or in a terminate handler): its class
// and message, and the capture of its raise when this thread recorded it (else the stack here).
TRaisedException DescribeCurrentException();

// The class name a report gives an exception object: the system's own ClassName() for its
// exceptions, else the type's name.
std::string ExceptionClassName(const std::exception& e);
std::string DemangledTypeName(const char* mangled);

}  // namespace tavrik::exlog
