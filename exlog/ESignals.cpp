#include "exlog/ESignals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "exlog/EReport.h"

namespace tavrik::exlog {

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kSignalStackSize = 64 * 1024;

// --- capture from a signal's context (async-signal-safe: no allocation, no locks) ---

void CaptureContext(void* context, TRaiseCapture& out) {
  static thread_local TFrame frames[kMaxFrames];
  out.frame_count = 0;
  out.registers = TRegisters();
  uintptr_t ip = 0;
#if defined(__x86_64__)
  const greg_t* g = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
  const int order[kRegisterCount] = {REG_RAX, REG_RDI, REG_RBX, REG_RSI, REG_RCX, REG_RSP, REG_RDX, REG_RIP};
  for (int i = 0; i < kRegisterCount; ++i) out.registers.Set(i, static_cast<uintptr_t>(g[order[i]]));
  ip = static_cast<uintptr_t>(g[REG_RIP]);
#else
  (void)context;
#endif
  // The unwinder walks from this handler through the signal frame into the interrupted code;
  // the frames from the interrupted instruction outwards are the thread's stack.
  size_t count = CaptureFrames(frames, kMaxFrames, 0);
  size_t first = count;
  for (size_t i = 0; i < count; ++i)
    if (frames[i].exact && (ip == 0 || frames[i].address == ip)) {
      first = i;
      break;
    }
  if (first == count && ip) {
    out.frames[out.frame_count++] = TFrame{ip, true};
  } else {
    for (size_t i = first; i < count; ++i) out.frames[out.frame_count++] = frames[i];
  }
  out.address = ip ? ip : (out.frame_count ? out.frames[0].address : 0);
  out.Complete();
}

// --- fatal signals ---

struct FatalState {
  std::function<void(const TFatalSignal&)> report;
  int wait_milliseconds = 0;
  int request[2] = {-1, -1};  // failing thread -> report thread
  int done[2] = {-1, -1};     // report thread -> failing thread
  std::thread reporter;
  struct sigaction previous[sizeof kFatalSignals / sizeof kFatalSignals[0]];
  TFatalSignal signal_info;
};
FatalState* g_fatal = nullptr;
std::atomic<bool> g_fatal_taken{false};

void DefaultAction(int signal) {
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // blocked in this handler: delivered, with its default action, as it returns
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
  FatalState* state = g_fatal;
  if (!state || g_fatal_taken.exchange(true)) return DefaultAction(signal);
  TFatalSignal& fatal = state->signal_info;
  fatal.signal = signal;
  fatal.code = info ? info->si_code : 0;
  fatal.fault_address = info ? reinterpret_cast<uintptr_t>(info->si_addr) : 0;
  fatal.thread_id = ::gettid();
  CaptureContext(context, fatal.capture);
  char go = 'r';
  if (::write(state->request[1], &go, 1) == 1) {
    pollfd p{state->done[0], POLLIN, 0};
    while (::poll(&p, 1, state->wait_milliseconds) == -1 && errno == EINTR) {
    }
  }
  DefaultAction(signal);
}

void RunReporter(FatalState* state) {
  for (;;) {
    char what = 0;
    ssize_t n = ::read(state->request[0], &what, 1);
    if (n == -1 && errno == EINTR) continue;
    if (n != 1 || what != 'r') return;
    state->report(state->signal_info);
    char done = 'd';
    if (::write(state->done[1], &done, 1) != 1) return;
  }
}

// --- capture of another thread ---

int CaptureSignal() { return SIGRTMIN + 3; }

enum CaptureStage : int { kIdle, kRequested, kCapturing, kDone, kAbandoned };
std::atomic<int> g_capture_stage{kIdle};
TRaiseCapture g_captured;
int g_capture_done[2] = {-1, -1};

void OnCaptureSignal(int, siginfo_t*, void* context) {
  int expected = kRequested;
  if (!g_capture_stage.compare_exchange_strong(expected, kCapturing)) return;
  const int saved = errno;
  CaptureContext(context, g_captured);
  g_capture_stage = kDone;
  char done = 'd';
  if (::write(g_capture_done[1], &done, 1) != 1) {
  }
  errno = saved;
}

}  // namespace

std::string FatalSignalClass(const TFatalSignal& fatal) {
  switch (fatal.signal) {
    case SIGSEGV: return "EAccessViolation";
    case SIGBUS: return "EBusError";
    case SIGFPE: return fatal.code == FPE_INTDIV ? "EDivByZero" : "EMathError";
    case SIGILL: return "EPrivilege";
    default: return "EExternalException";
  }
}

std::string FatalSignalMessage(const TFatalSignal& fatal, const std::string& module_name) {
  const std::string where = "at address " + AddressText(fatal.capture.address) + " in module '" + module_name + "'";
  switch (fatal.signal) {
    case SIGSEGV:
    case SIGBUS: return "Access violation " + where + ". Access of address " + AddressText(fatal.fault_address);
    case SIGFPE: return (fatal.code == FPE_INTDIV ? "Division by zero " : "Floating point error ") + where;
    case SIGILL: return "Privileged or illegal instruction " + where;
    default: return std::string("External exception ") + ::strsignal(fatal.signal) + " " + where;
  }
}

bool InstallFatalSignalHandlers(std::function<void(const TFatalSignal&)> report, int wait_milliseconds) {
  if (g_fatal) return true;
  auto* state = new FatalState;
  state->report = std::move(report);
  state->wait_milliseconds = wait_milliseconds;
  if (::pipe2(state->request, O_CLOEXEC) != 0 || ::pipe2(state->done, O_CLOEXEC) != 0) {
    for (int fd : {state->request[0], state->request[1], state->done[0], state->done[1]})
      if (fd != -1) ::close(fd);
    delete state;
    return false;
  }
  state->reporter = std::thread(RunReporter, state);
  g_fatal = state;
  EnsureSignalStack();
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < sizeof kFatalSignals / sizeof kFatalSignals[0]; ++i)
    ::sigaction(kFatalSignals[i], &action, &state->previous[i]);
  return true;
}

void UninstallFatalSignalHandlers() {
  FatalState* state = g_fatal;
  if (!state) return;
  for (size_t i = 0; i < sizeof kFatalSignals / sizeof kFatalSignals[0]; ++i)
    ::sigaction(kFatalSignals[i], &state->previous[i], nullptr);
  g_fatal = nullptr;
  char quit = 'q';
  if (::write(state->request[1], &quit, 1) == 1) state->reporter.join();
  else state->reporter.detach();
  for (int fd : {state->request[0], state->request[1], state->done[0], state->done[1]}) ::close(fd);
  delete state;
}

void EnsureSignalStack() {
  stack_t current{};
  if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
  void* memory = ::mmap(nullptr, kSignalStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  stack_t stack{};
  stack.ss_sp = memory;
  stack.ss_size = kSignalStackSize;
  if (::sigaltstack(&stack, nullptr) != 0) ::munmap(memory, kSignalStackSize);
}

void ReleaseSignalStack() {
  stack_t current{};
  if (::sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) || current.ss_size != kSignalStackSize)
    return;
  stack_t off{};
  off.ss_flags = SS_DISABLE;
  if (::sigaltstack(&off, nullptr) == 0) ::munmap(current.ss_sp, kSignalStackSize);
}

bool CaptureThreadContext(pthread_t thread, TRaiseCapture& out, int timeout_milliseconds) {
  static const bool ready = [] {
    if (::pipe2(g_capture_done, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_sigaction = OnCaptureSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    return ::sigaction(CaptureSignal(), &action, nullptr) == 0;
  }();
  if (!ready) return false;
  // A capture abandoned earlier may still be running in its handler; its buffer is not ours yet.
  int stage = g_capture_stage;
  if (stage == kDone || stage == kAbandoned) g_capture_stage.compare_exchange_strong(stage, kIdle);
  int idle = kIdle;
  if (!g_capture_stage.compare_exchange_strong(idle, kRequested)) return false;
  char drained;
  while (::read(g_capture_done[0], &drained, 1) == 1) {
  }
  if (::pthread_kill(thread, CaptureSignal()) != 0) {
    g_capture_stage = kIdle;
    return false;
  }
  pollfd p{g_capture_done[0], POLLIN, 0};
  while (::poll(&p, 1, timeout_milliseconds) == -1 && errno == EINTR) {
  }
  int requested = kRequested;
  if (g_capture_stage.compare_exchange_strong(requested, kAbandoned)) return false;  // never ran
  if (g_capture_stage != kDone) return false;  // still capturing: leave it the buffer
  out = g_captured;
  g_capture_stage = kIdle;
  return true;
}

}  // namespace tavrik::exlog
