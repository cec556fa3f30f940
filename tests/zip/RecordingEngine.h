// A stand-in ZIP engine for the component's tests (built as libzipeng.so in a folder of its
// own): it reports the version the test sets, keeps a copy of every call record it gets (texts
// copied, since they are freed after the call), runs the test's script while it "works" and
// returns the count the test sets. The test reaches its state through RecordingControl(), from
// the same loaded library the component uses.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zip/ZIPENG.h"

namespace tavrik::testing {

struct TRecordedSpec {
  ZipFileSpecRecord raw{};  // its pointers are stale after the call
  std::optional<std::string> spec, password, root_dir;
};

struct TRecordedCall {
  int32_t engine_version = 0;
  ZipCallRecordNew raw_new{};  // the newer layout as received (engine version above 150)
  ZipCallCommon common{};      // the common part (either layout)
  int32_t old_marker = 0;      // the older layout's marker
  std::optional<std::string> password, store_suffixes, archive, temp_dir, comment;
  std::vector<std::string> old_specs;   // the older layout's texts
  bool old_slots_after_zero = true;     // the older layout's unused slots are all null
  std::vector<TRecordedSpec> specs;     // the newer layout's records
  std::vector<std::string> excludes;
};

struct TRecordingControl {
  int32_t version = kZipFullRecordVersion;
  int32_t result = 1;
  // Runs inside ZipEngExec with the record it got.
  std::function<void(ZipCallCommon*)> script;
  std::vector<TRecordedCall> calls;
};

}  // namespace tavrik::testing

extern "C" tavrik::testing::TRecordingControl* RecordingControl();
