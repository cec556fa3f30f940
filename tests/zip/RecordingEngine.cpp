#include "tests/zip/RecordingEngine.h"

namespace tavrik::testing {
namespace {

TRecordingControl control;

std::optional<std::string> Copy(const char* text) {
  if (!text) return std::nullopt;
  return std::string(text);
}

}  // namespace
}  // namespace tavrik::testing

using namespace tavrik;
using namespace tavrik::testing;

extern "C" __attribute__((visibility("default"))) TRecordingControl* RecordingControl() { return &control; }

extern "C" __attribute__((visibility("default"))) int32_t ZIPENG_CALL GetZipEngVersion() { return control.version; }

extern "C" __attribute__((visibility("default"))) int32_t ZIPENG_CALL ZipEngExec(ZipCallCommon* record) {
  TRecordedCall call;
  call.engine_version = control.version;
  call.common = *record;
  call.password = Copy(record->password);
  call.store_suffixes = Copy(record->store_suffixes);
  call.archive = Copy(record->archive);
  if (control.version <= kZipOldLayoutLastVersion) {
    auto* old = reinterpret_cast<ZipCallRecordOld*>(record);
    call.old_marker = old->marker;
    for (int i = 0; i < kZipOldLayoutSpecSlots; ++i) {
      if (i < record->spec_count)
        call.old_specs.push_back(old->specs[i] ? old->specs[i] : "(null)");
      else if (old->specs[i])
        call.old_slots_after_zero = false;
    }
  } else {
    auto* r = reinterpret_cast<ZipCallRecordNew*>(record);
    call.raw_new = *r;
    call.temp_dir = Copy(r->temp_dir);
    call.comment = Copy(r->comment);
    for (int i = 0; i < record->spec_count; ++i) {
      TRecordedSpec spec;
      spec.raw = r->specs[i];
      spec.spec = Copy(r->specs[i].spec);
      spec.password = Copy(r->specs[i].password);
      spec.root_dir = Copy(r->specs[i].root_dir);
      call.specs.push_back(spec);
    }
    for (int i = 0; i < r->exclude_count; ++i) call.excludes.push_back(r->excludes[i] ? r->excludes[i] : "(null)");
  }
  control.calls.push_back(call);
  if (control.script) control.script(record);
  return control.result;
}
