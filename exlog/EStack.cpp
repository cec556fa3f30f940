#include "exlog/EStack.h"

#include <cxxabi.h>
#include <dwarf.h>
#include <elfutils/libdw.h>
#include <elfutils/libdwfl.h>
#include <unistd.h>
#include <unwind.h>

#include <cstdlib>
#include <cstring>

namespace tavrik::exlog {

namespace {

struct CaptureState {
  TFrame* out;
  size_t max;
  size_t skip;
  size_t count;
  TRegisters* registers;
  uintptr_t caller_sp;  // the canonical frame address of the frame before: the next one's stack pointer
};

_Unwind_Reason_Code OnFrame(_Unwind_Context* context, void* data) {
  auto* state = static_cast<CaptureState*>(data);
  int before = 0;
  uintptr_t ip = _Unwind_GetIPInfo(context, &before);
  if (ip == 0) return _URC_END_OF_STACK;
  if (state->skip > 0) {
    --state->skip;
    state->caller_sp = _Unwind_GetCFA(context);
    return _URC_NO_REASON;
  }
  if (state->count == 0 && state->registers) {
    TRegisters& r = *state->registers;
    r.Set(rgIP, ip);
    if (state->caller_sp) r.Set(rgSP, state->caller_sp);
#if defined(__x86_64__) || defined(__i386__)
    r.Set(rgBX, _Unwind_GetGR(context, 3));  // DWARF register 3: RBX / EBX
#endif
  }
  state->out[state->count++] = TFrame{ip, before != 0};
  return state->count < state->max ? _URC_NO_REASON : _URC_END_OF_STACK;
}

std::string BaseName(const char* path) {
  if (!path) return std::string();
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

// A demangled symbol without its parameter list: "ns::Type::Run(int) const" -> "ns::Type::Run",
// "f()::{lambda()#1}::operator()() const" -> "f()::{lambda()#1}::operator()".
std::string ProcedureFromSymbol(const char* symbol) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(symbol, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : symbol;
  std::free(demangled);
  for (const char* qualifier : {" const", " volatile", " &&", " &"})
    if (name.size() > std::strlen(qualifier) && name.ends_with(qualifier)) name.resize(name.size() - std::strlen(qualifier));
  if (name.empty() || name.back() != ')') return name;
  int depth = 0;
  for (size_t i = name.size(); i-- > 0;) {
    if (name[i] == ')') ++depth;
    if (name[i] == '(' && --depth == 0) return i > 0 ? name.substr(0, i) : name;
  }
  return name;
}

bool IsClassTag(int tag) {
  return tag == DW_TAG_class_type || tag == DW_TAG_structure_type || tag == DW_TAG_union_type;
}

// The declaration of a function: inlined copies point at their abstract origin, definitions
// outside their class at the declaration inside it.
Dwarf_Die Declaration(Dwarf_Die die) {
  for (int hop = 0; hop < 4; ++hop) {
    Dwarf_Attribute attr;
    Dwarf_Die next;
    if ((dwarf_attr(&die, DW_AT_abstract_origin, &attr) || dwarf_attr(&die, DW_AT_specification, &attr)) &&
        dwarf_formref_die(&attr, &next)) {
      die = next;
      continue;
    }
    break;
  }
  return die;
}

}  // namespace

const char* TRegisters::Name(int index) {
#if defined(__x86_64__)
  static const char* const kNames[kRegisterCount] = {"RAX", "RDI", "RBX", "RSI", "RCX", "RSP", "RDX", "RIP"};
#else
  static const char* const kNames[kRegisterCount] = {"EAX", "EDI", "EBX", "ESI", "ECX", "ESP", "EDX", "EIP"};
#endif
  return kNames[index];
}

__attribute__((noinline)) size_t CaptureFrames(TFrame* out, size_t max, size_t skip, TRegisters* registers) {
  if (max == 0) return 0;
  CaptureState state{out, max, skip + 1, 0, registers, 0};  // and this function's own frame
  _Unwind_Backtrace(OnFrame, &state);
  return state.count;
}

struct TRavlogFunctionsList::Impl {
  Dwfl* dwfl = nullptr;
  char* debuginfo_path = nullptr;
  Dwfl_Callbacks callbacks{};
};

TRavlogFunctionsList::TRavlogFunctionsList() : impl_(std::make_unique<Impl>()) {
  impl_->callbacks.find_elf = dwfl_linux_proc_find_elf;
  // Separate debug information is looked up on this machine by build ID only: the standard
  // look-up ends by asking a debuginfod server over the network, which a report must not wait for.
  impl_->callbacks.find_debuginfo = dwfl_build_id_find_debuginfo;
  impl_->callbacks.debuginfo_path = &impl_->debuginfo_path;
  impl_->dwfl = dwfl_begin(&impl_->callbacks);
  if (!impl_->dwfl) return;
  dwfl_report_begin(impl_->dwfl);
  if (dwfl_linux_proc_report(impl_->dwfl, ::getpid()) != 0) {
    dwfl_end(impl_->dwfl);
    impl_->dwfl = nullptr;
    return;
  }
  dwfl_report_end(impl_->dwfl, nullptr, nullptr);
}

TRavlogFunctionsList::~TRavlogFunctionsList() {
  if (impl_->dwfl) dwfl_end(impl_->dwfl);
}

TStackEntry TRavlogFunctionsList::Describe(const TFrame& frame) {
  TStackEntry entry;
  entry.address = frame.address;
  if (!impl_->dwfl || frame.address == 0) return entry;
  // A return address points past its call, which may already be the next line.
  const Dwarf_Addr pc = frame.exact ? frame.address : frame.address - 1;
  Dwfl_Module* module = dwfl_addrmodule(impl_->dwfl, pc);
  if (!module) return entry;
  entry.module = BaseName(dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));

  if (Dwfl_Line* line = dwfl_module_getsrc(module, pc)) {
    int number = 0;
    const char* file = dwfl_lineinfo(line, nullptr, &number, nullptr, nullptr, nullptr);
    entry.unit = BaseName(file);
    entry.line = number;
  }

  Dwarf_Addr bias = 0;
  if (Dwarf_Die* cu = dwfl_module_addrdie(module, pc, &bias)) {
    Dwarf_Die* scopes = nullptr;
    int count = dwarf_getscopes(cu, pc - bias, &scopes);
    for (int i = 0; i < count; ++i) {
      int tag = dwarf_tag(&scopes[i]);
      if (tag != DW_TAG_subprogram && tag != DW_TAG_inlined_subroutine) continue;
      Dwarf_Die declaration = Declaration(scopes[i]);
      const char* name = dwarf_diename(&scopes[i]);
      if (!name) name = dwarf_diename(&declaration);
      if (name) entry.procedure = name;
      Dwarf_Die* outer = nullptr;
      int depth = dwarf_getscopes_die(&declaration, &outer);
      if (depth > 1 && IsClassTag(dwarf_tag(&outer[1]))) {
        const char* owner = dwarf_diename(&outer[1]);
        entry.class_name = owner ? owner : "<anonymous>";
      }
      std::free(outer);
      break;
    }
    std::free(scopes);
  }

  if (entry.procedure.empty()) {
    GElf_Sym symbol;
    GElf_Off offset = 0;
    if (const char* name = dwfl_module_addrinfo(module, pc, &offset, &symbol, nullptr, nullptr, nullptr))
      entry.procedure = ProcedureFromSymbol(name);
  }
  return entry;
}

void TRavlogStackList::Build(const std::vector<TFrame>& frames, TRavlogFunctionsList& functions) {
  entries_.clear();
  size_t first = frames.size() > 1 && frames[0] == frames[1] ? 1 : 0;
  for (size_t i = first; i < frames.size(); ++i) entries_.push_back(functions.Describe(frames[i]));
}

}  // namespace tavrik::exlog
