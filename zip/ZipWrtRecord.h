// The call record as the component builds it: allocated zero-filled in the layout the engine's
// version asks for, every text and array it points to owned here and freed with it; and the
// pieces it is built from (the store-suffix text, the parts of a file spec line).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zip/ZIPENG.h"
#include "zip/ZipWrt.h"

namespace tavrik {

class TZipCallRecord {
 public:
  explicit TZipCallRecord(int engine_version);
  TZipCallRecord(const TZipCallRecord&) = delete;
  TZipCallRecord& operator=(const TZipCallRecord&) = delete;

  bool NewLayout() const { return version_ > kZipOldLayoutLastVersion; }
  ZipCallCommon* Common() { return NewLayout() ? &new_->common : &old_->common; }
  ZipCallRecordOld& Old() { return *old_; }
  ZipCallRecordNew& New() { return *new_; }

  // A zero-terminated copy of `text` that lives as long as the record.
  char* Text(const std::string& text);
  // `count` zero-filled spec records / text pointers that live as long as the record.
  ZipFileSpecRecord* SpecArray(size_t count);
  char** TextArray(size_t count);

 private:
  int version_;
  std::unique_ptr<ZipCallRecordOld> old_;
  std::unique_ptr<ZipCallRecordNew> new_;
  std::vector<std::unique_ptr<char[]>> texts_;
  std::unique_ptr<ZipFileSpecRecord[]> specs_;
  std::unique_ptr<char*[]> text_array_;
};

// One line of FSpecArgs taken apart. A line that names an existing file or folder (resolved
// against `root_dir` when relative) is taken whole: "<", ">" and "|" are ordinary characters of
// file names here.
struct TSpecLine {
  enum PasswordPart { ppNone, ppEmpty, ppOwn };
  std::string spec;
  std::optional<bool> recurse;      // set by a ">" (true) or "|" (false) first character
  PasswordPart password = ppNone;   // "<" at the end: ppEmpty; "<text": ppOwn
  std::string own_password;
};
TSpecLine ParseSpecLine(const std::string& line, const std::string& root_dir);

// ".gif:.png:..." for the suffixes of `suffixes` in the order of their enumeration.
std::string StoreSuffixText(const AddStoreExts& suffixes);

}  // namespace tavrik
