#include "zip/ZipWrtRecord.h"

#include <cstring>

#include "platform/Paths.h"
#include "zip/ZCallBck.h"

namespace tavrik {

namespace {

int32_t ZipFlag(bool on) { return on ? kZipTrue : kZipFalse; }

constexpr const char* kSuffixTexts[] = {"gif", "png", "z",   "zip", "zoo", "arc", "lzh", "arj",  "taz",
                                        "tgz", "lha", "rar", "ace", "cab", "gz",  "gzip", "jar", "exe"};
static_assert(std::size(kSuffixTexts) == assEXE + 1);

}  // namespace

TZipCallRecord::TZipCallRecord(int engine_version) : version_(engine_version) {
  // Value-initialised, that is zero-filled, padding included.
  if (NewLayout())
    new_ = std::make_unique<ZipCallRecordNew>();
  else
    old_ = std::make_unique<ZipCallRecordOld>();
}

char* TZipCallRecord::Text(const std::string& text) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  texts_.push_back(std::move(copy));
  return texts_.back().get();
}

ZipFileSpecRecord* TZipCallRecord::SpecArray(size_t count) {
  specs_ = std::make_unique<ZipFileSpecRecord[]>(count);
  return specs_.get();
}

char** TZipCallRecord::TextArray(size_t count) {
  text_array_ = std::make_unique<char*[]>(count);
  return text_array_.get();
}

TSpecLine ParseSpecLine(const std::string& line, const std::string& root_dir) {
  TSpecLine parsed;
  auto exists = [&](const std::string& name) {
    return !name.empty() && platform::PathExists(name[0] == '/' || root_dir.empty() ? name : root_dir + name);
  };
  if (exists(line)) {
    parsed.spec = line;
    return parsed;
  }
  std::string rest = line;
  if (!rest.empty() && (rest[0] == '>' || rest[0] == '|')) {
    parsed.recurse = rest[0] == '>';
    rest.erase(0, 1);
  }
  size_t lt = rest.find('<');
  if (lt != std::string::npos && !exists(rest)) {
    parsed.own_password = rest.substr(lt + 1);
    parsed.password = parsed.own_password.empty() ? TSpecLine::ppEmpty : TSpecLine::ppOwn;
    rest.erase(lt);
  }
  parsed.spec = rest;
  return parsed;
}

std::string StoreSuffixText(const AddStoreExts& suffixes) {
  std::string text;
  for (AddStoreSuffixEnum s : suffixes) text += std::string(".") + kSuffixTexts[s] + ":";
  if (!text.empty()) text.pop_back();
  return text;
}

std::unique_ptr<TZipCallRecord> TZipwright::BuildCallRecord(int version) {
  auto call = std::make_unique<TZipCallRecord>(version);
  ZipCallCommon& c = *call->Common();
  c.window = unattended_ ? nullptr : window_;
  c.caller = this;
  c.version = kZipComponentVersion;
  c.callback = &ZipCallbackEntry;
  c.trace = ZipFlag(trace_);
  if (!password_.empty()) c.password = call->Text(password_.substr(0, kZipMaxRecordPassword));
  std::string suffixes = StoreSuffixText(add_store_suffixes_);
  if (!suffixes.empty()) c.store_suffixes = call->Text(suffixes);
  c.encrypt = ZipFlag(Has(AddEncrypt));
  c.hidden_files = ZipFlag(Has(AddHiddenFiles));
  c.volume_label = ZipFlag(Has(AddVolume));
  c.no_dir_entries = ZipFlag(!Has(AddSeparateDirs));
  c.verbose = ZipFlag(verbose_ || trace_);
  c.always_true56 = kZipTrue;
  c.level = add_comp_level_;
  c.junk_dirs = ZipFlag(!Has(AddDirNames));
  c.recurse = Has(AddRecurseDirs) ? kZipRecurseOn : 0;
  c.always_true80 = kZipTrue;
  c.force_dos = ZipFlag(Has(AddForceDOS));
  c.move = ZipFlag(Has(AddMove));
  c.update = ZipFlag(Has(AddUpdate));
  c.freshen = ZipFlag(Has(AddFreshen) && !Has(AddUpdate));
  c.latest_time = ZipFlag(Has(AddZipTime));
  c.spec_count = static_cast<int32_t>(fspec_args_.size());
  c.archive = call->Text(zip_file_name_);

  if (!call->NewLayout()) {
    if (fspec_args_.size() > static_cast<size_t>(kZipOldLayoutSpecSlots))
      throw Exception("An engine of version " + std::to_string(version) + " takes at most " +
                      std::to_string(kZipOldLayoutSpecSlots) + " file specs");
    call->Old().marker = kZipRecordMarker;
    for (size_t i = 0; i < fspec_args_.size(); ++i) call->Old().specs[i] = call->Text(fspec_args_[i]);
    return call;
  }

  ZipCallRecordNew& r = call->New();
  const bool full = version >= kZipFullRecordVersion;
  if (!temp_dir_.empty()) r.temp_dir = call->Text(temp_dir_);
  if (full && !zip_comment_.empty()) r.comment = call->Text(zip_comment_);
  if (full) {
    r.archive_only = Has(AddArchiveOnly) ? 1 : 0;
    r.reset_archive = Has(AddResetArchive) ? 1 : 0;
  }
  r.specs = call->SpecArray(fspec_args_.size());
  for (size_t i = 0; i < fspec_args_.size(); ++i) {
    TSpecLine line = ParseSpecLine(fspec_args_[i], root_dir_);
    ZipFileSpecRecord& spec = r.specs[i];
    spec.recurse = line.recurse ? (*line.recurse ? kZipRecurseOn : 0) : c.recurse;
    spec.encrypt = c.encrypt;
    if (c.password) spec.password = call->Text(c.password);
    if (line.password == TSpecLine::ppEmpty) {
      spec.password = nullptr;
      spec.encrypt = 0;
    } else if (line.password == TSpecLine::ppOwn) {
      spec.password = call->Text(line.own_password);
      spec.encrypt = kZipSpecOwnPassword;
    }
    if (!root_dir_.empty()) spec.root_dir = call->Text(root_dir_);
    spec.spec = call->Text(line.spec);
  }
  if (full && !fspec_args_excl_.empty()) {
    r.exclude_count = static_cast<int32_t>(fspec_args_excl_.size());
    r.excludes = call->TextArray(fspec_args_excl_.size());
    for (size_t i = 0; i < fspec_args_excl_.size(); ++i) r.excludes[i] = call->Text(fspec_args_excl_[i]);
  }
  if (full) {
    r.delete_to_trash = how_to_delete_ == htdAllowUndo ? kZipTrue : kZipFalse;
    r.code_page = code_page_ == cpOEM ? kZipCodePageOem : 0;
  }
  r.marker = kZipRecordMarker;
  return call;
}

}  // namespace tavrik
