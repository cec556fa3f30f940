#include "xbase/WorkArea.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "core/StrUtils.h"
#include "platform/CodePage.h"
#include "xbase/DbfFields.h"
#include "xbase/FieldCodec.h"
#include "xbase/TableError.h"

namespace tavrik::xbase {


TWorkArea::TWorkArea(const std::string& path, std::string alias, TOpenMode mode, int table_type,
                     TCommitLevel commit_level, const TEngineSettings& settings)
    : table_(TTableRegistry::Instance().Acquire(path, mode)),
      alias_(std::move(alias)),
      mode_(mode),
      table_type_(table_type),
      commit_level_(commit_level),
      settings_(settings),
      owner_(NewLockOwner()),
      natural_(*table_) {
  try {
    if (std::shared_ptr<TIndexFile> own = table_->OwnIndex()) {
      table_->HoldIndex(own);
      orders_.AddFile(own);
    }
    GoTop();
  } catch (...) {
    Release();
    throw;
  }
}

TWorkArea::~TWorkArea() { Release(); }

void TWorkArea::ReleaseIndexes(bool report) {
  std::exception_ptr failure;
  const std::vector<std::shared_ptr<TIndexFile>> files = orders_.Files();
  orders_.Clear();
  order_ = nullptr;
  for (const std::shared_ptr<TIndexFile>& file : files) {
    try {
      table_->ReleaseIndex(file);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure && report) std::rethrow_exception(failure);
}

void TWorkArea::Release() noexcept {
  if (!table_) return;
  try {
    ReleaseIndexes(false);
    table_->Locks().UnlockAll(owner_);
    TTableRegistry::Instance().Release(table_);
  } catch (...) {
  }
  table_.reset();
}

void TWorkArea::Close() {
  if (!table_) return;
  std::exception_ptr failure;
  try {
    ReleaseIndexes(true);
  } catch (...) {
    failure = std::current_exception();
  }
  std::shared_ptr<TTable> table = std::move(table_);
  table->Locks().UnlockAll(owner_);
  TTableRegistry::Instance().Release(table);
  if (failure) std::rethrow_exception(failure);
}

const TFieldInfo& TWorkArea::FieldByName(std::string_view name) const {
  const std::string upper = UpperCase(Trim(name));
  const int i = table_->FieldIndex(upper);
  if (i < 0) throw ETableError("Field " + upper + " does not exist in " + alias_);
  return table_->Fields()[size_t(i)];
}

const TFieldInfo& TWorkArea::FieldByNumber(int number) const {
  if (number < 1 || number > FieldCount())
    throw ETableError("Field number " + std::to_string(number) + " does not exist in " + alias_);
  return table_->Fields()[size_t(number - 1)];
}

// ---- navigation ----

void TWorkArea::Load(uint32_t recno) {
  image_ = table_->ReadRecord(recno);
  recno_ = recno;
}

void TWorkArea::GoPhantom() {
  recno_ = table_->RecCount() + 1;
  image_ = table_->BlankRecord();
  eof_ = true;
}

bool TWorkArea::Visible() const {
  if (eof_) return false;
  if (settings_.deleted && image_[0] == '*') return false;
  return !filter_ || filter_(*this);
}

bool TWorkArea::SettleForward(uint32_t recno) {
  while (recno != 0) {
    Load(recno);
    if (Visible()) return true;
    const uint32_t next = Order().Next(recno, image_);
    if (next == recno) return false;  // an order that does not move has ended
    recno = next;
  }
  return false;
}

bool TWorkArea::SettleBackward(uint32_t recno) {
  while (recno != 0) {
    Load(recno);
    if (Visible()) return true;
    const uint32_t prior = Order().Prior(recno, image_);
    if (prior == recno) return false;
    recno = prior;
  }
  return false;
}

void TWorkArea::GoTop() {
  bof_ = eof_ = false;
  if (!SettleForward(Order().First())) {
    GoPhantom();
    bof_ = true;
  }
}

void TWorkArea::GoBottom() {
  bof_ = eof_ = false;
  if (!SettleBackward(Order().Last())) {
    GoPhantom();
    bof_ = true;
  }
}

void TWorkArea::Skip(int64_t count) {
  if (count == 0) {
    if (!eof_) Load(recno_);
    return;
  }
  if (count > 0) {
    bof_ = false;
    for (; count > 0 && !eof_; --count) {
      const uint32_t next = Order().Next(recno_, image_);
      if (next == recno_ || !SettleForward(next)) GoPhantom();
    }
    return;
  }
  for (; count < 0; ++count) {
    const bool from_phantom = eof_;
    const uint32_t prior = from_phantom ? Order().Last() : Order().Prior(recno_, image_);
    eof_ = false;
    if ((!from_phantom && prior == recno_) || !SettleBackward(prior)) {
      GoTop();  // before the first: on the first, with Bof
      bof_ = true;
      return;
    }
    bof_ = false;
  }
}

uint32_t TWorkArea::Go(int64_t recno) {
  bof_ = eof_ = false;
  const bool exists = recno >= 1 && recno <= int64_t(std::numeric_limits<uint32_t>::max()) &&
                      (uint32_t(recno) <= table_->RecCount() || uint32_t(recno) <= table_->RefreshRecCount());
  if (exists)
    Load(uint32_t(recno));
  else
    GoPhantom();
  return recno_;
}

// ---- records ----

std::string TWorkArea::ToAnsi(std::string text) const {
  return settings_.translate ? platform::OemToAnsi(text) : text;
}

std::string TWorkArea::ToOem(std::string text) const {
  return settings_.translate ? platform::AnsiToOem(text) : text;
}

void TWorkArea::CheckWritableRecord() const {
  if (mode_ == TOpenMode::read_only) throw ETableError("Table " + alias_ + " is open read-only");
  if (eof_) throw ETableError("No current record in " + alias_ + " (end of file)");
}

std::string TWorkArea::GetRecord() const {
  if (!settings_.translate) return image_;
  std::string image = image_;
  for (const TFieldInfo& f : table_->Fields())
    if (f.type == 'C') image.replace(size_t(f.offset), size_t(f.width), ToAnsi(std::string(FieldText(image_, f))));
  return image;
}

void TWorkArea::PutRecord(std::string_view image) {
  CheckWritableRecord();
  if (image.size() != RecordSize())
    throw ETableError("A record of " + alias_ + " has " + std::to_string(RecordSize()) + " bytes, not " +
                      std::to_string(image.size()));
  std::string stored(image);
  if (settings_.translate)
    for (const TFieldInfo& f : table_->Fields())
      if (f.type == 'C') stored.replace(size_t(f.offset), size_t(f.width), ToOem(std::string(FieldText(image, f))));
  image_ = table_->WriteRecord(recno_, stored, owner_);
}

uint32_t TWorkArea::AppendBlank() {
  if (mode_ == TOpenMode::read_only) throw ETableError("Table " + alias_ + " is open read-only");
  const uint32_t recno = table_->AppendBlank(owner_);
  recno_ = recno;
  image_ = table_->BlankRecord();
  bof_ = eof_ = false;
  return recno;
}

void TWorkArea::Delete() {
  CheckWritableRecord();
  image_ = table_->UpdateRecord(recno_, owner_, [](std::string& r) { r[0] = '*'; });
}

void TWorkArea::Recall() {
  CheckWritableRecord();
  image_ = table_->UpdateRecord(recno_, owner_, [](std::string& r) { r[0] = ' '; });
}

void TWorkArea::Commit() {
  if (commit_level_ == TCommitLevel::none) return;
  table_->Flush(commit_level_ == TCommitLevel::full);
}

// ---- locks ----

bool TWorkArea::Rlock(uint32_t recno) {
  if (recno == 0) {
    if (eof_) throw ETableError("No current record in " + alias_ + " (end of file)");
    recno = recno_;
  }
  if (recno > table_->RecCount() && recno > table_->RefreshRecCount())
    throw ETableError("Record " + std::to_string(recno) + " does not exist in " + alias_);
  // A file this process may only read cannot carry a lock other processes would respect.
  if (!table_->Writable()) throw ETableError("Table " + alias_ + " is open read-only");
  const auto wait = std::chrono::milliseconds(int64_t(std::max(settings_.lock_timeout, 0)) * 1000);
  if (!table_->Locks().Lock(recno, owner_, wait)) return false;
  // What another work area wrote before letting go is what this one now edits.
  if (recno == recno_ && !eof_) Load(recno);
  return true;
}

void TWorkArea::Unlock(uint32_t recno) {
  if (recno == 0)
    table_->Locks().UnlockAll(owner_);
  else
    table_->Locks().Unlock(recno, owner_);
}

std::vector<uint32_t> TWorkArea::Locks() const { return table_->Locks().LocksOf(owner_); }

}  // namespace tavrik::xbase
