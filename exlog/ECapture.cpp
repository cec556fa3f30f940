#include "exlog/ECapture.h"

#include <cxxabi.h>
#include <pthread.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <typeinfo>

#include "core/Exception.h"

namespace tavrik::exlog {

namespace {

// The last raises of this thread: a handler may run after further exceptions were raised and
// caught inside it, so one record is not enough.
constexpr size_t kRecentRaises = 4;
struct RecentRaise {
  const void* object = nullptr;
  const void* type = nullptr;
  TRaiseCapture capture;
};
thread_local RecentRaise t_recent[kRecentRaises];
thread_local size_t t_next = 0;

const RecentRaise* FindRecent(const void* object, const std::type_info* type) {
  for (size_t i = 0; i < kRecentRaises; ++i) {
    const RecentRaise& r = t_recent[(t_next + kRecentRaises - 1 - i) % kRecentRaises];
    if (!r.object) continue;
    if (object ? r.object == object : (type && r.type && *static_cast<const std::type_info*>(r.type) == *type))
      return &r;
  }
  return nullptr;
}

}  // namespace

bool ReadOwnMemory(uintptr_t address, void* out, size_t size) {
  if (address == 0) return false;
  iovec local{out, size};
  iovec remote{reinterpret_cast<void*>(address), size};
  return ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size);
}

void TRaiseCapture::Complete() {
  if (frame_count > 0 && address == 0) address = frames[0].address;
  if (!registers.known[rgIP] && address) registers.Set(rgIP, address);
  if (registers.known[rgSP]) {
    stack_address = registers.value[rgSP];
    stack_read = ReadOwnMemory(stack_address, stack_words, sizeof stack_words);
  }
  memory_read = ReadOwnMemory(address, memory, sizeof memory);
  if (when.tv_sec == 0) clock_gettime(CLOCK_REALTIME, &when);
}

__attribute__((noinline)) void CaptureHere(TRaiseCapture& out, size_t skip) {
  out = TRaiseCapture();
  out.frame_count = CaptureFrames(out.frames, kMaxFrames, skip + 1, &out.registers);
  out.Complete();
}

__attribute__((noinline)) void RecordRaise(const void* object, const void* type, const uintptr_t argument_registers[3]) {
  RecentRaise& r = t_recent[t_next];
  t_next = (t_next + 1) % kRecentRaises;
  r.object = object;
  r.type = type;
  r.capture = TRaiseCapture();
  // This function and the throw hook are left out: the first frame is the one that threw.
  r.capture.frame_count = CaptureFrames(r.capture.frames, kMaxFrames, 2, &r.capture.registers);
  r.capture.registers.Set(rgDI, argument_registers[0]);
  r.capture.registers.Set(rgSI, argument_registers[1]);
  r.capture.registers.Set(rgDX, argument_registers[2]);
  r.capture.Complete();
}

std::string DemangledTypeName(const char* mangled) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : mangled;
  std::free(demangled);
  return name;
}

std::string ExceptionClassName(const std::exception& e) {
  if (auto* own = dynamic_cast<const Exception*>(&e)) return own->ClassName();
  return DemangledTypeName(typeid(e).name());
}

__attribute__((noinline)) TRaisedException DescribeCurrentException() {
  TRaisedException raised;
  raised.thread_id = ::gettid();
  raised.main_thread = raised.thread_id == ::getpid();
  const void* object = nullptr;
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& e) {
      raised.class_name = ExceptionClassName(e);
      raised.message = e.what();
      object = dynamic_cast<const void*>(&e);
    } catch (...) {
      raised.class_name = type ? DemangledTypeName(type->name()) : std::string();
    }
  }
  if (const RecentRaise* r = type ? FindRecent(object, type) : nullptr)
    raised.capture = r->capture;
  else
    CaptureHere(raised.capture, 1);
  return raised;
}

}  // namespace tavrik::exlog
