// The orders of a work area: index files opened and tags made, the current order, seeks,
// scopes and positions in the order.

#include <cmath>

#include "core/StrUtils.h"
#include "platform/Paths.h"
#include "xbase/IndexFile.h"
#include "xbase/TableError.h"
#include "xbase/WorkArea.h"

namespace tavrik::xbase {

std::string TWorkArea::IndexPath(const std::string& file) const {
  const std::string name = Trim(file);
  if (name.empty()) throw ETableError("No index file named");
  const std::string& table = Path();
  const size_t table_slash = table.rfind('/');
  const std::string table_dir = table_slash == std::string::npos ? std::string() : table.substr(0, table_slash + 1);
  std::string path = name.find('/') == std::string::npos ? table_dir + name : name;
  const size_t slash = path.rfind('/');
  if (path.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos) {
    // The extension in the letter case of the table's own.
    const std::string own = ProductionIndexPath(table);
    path += own.substr(own.rfind('.'));
  }
  if (platform::PathExists(path)) return path;
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash);
  const std::string other = platform::FindEntryIgnoringCase(dir, slash == std::string::npos ? path : path.substr(slash + 1));
  if (other.empty()) return path;
  return dir.empty() ? other : dir + "/" + other;
}

TOrderList& TWorkArea::Orders() {
  // The table's own index file may have been made by another work area since this one opened,
  // and tags may have been added to a listed file.
  std::shared_ptr<TIndexFile> own = table_->OwnIndex();
  if (own && !orders_.FindFile(own->FileName())) {
    table_->HoldIndex(own);
    orders_.AddFile(own, true);
  }
  if (orders_.Stale()) orders_.Refresh();
  return orders_;
}

TIndexOrder* TWorkArea::CurrentIndexOrder() {
  TIndexOrder* order = Orders().CurrentOrder();
  return order && order == order_ ? order : nullptr;
}

int TWorkArea::IndexOpen(const std::string& file) {
  const std::string path = IndexPath(file);
  Orders();
  if (std::shared_ptr<TIndexFile> listed = orders_.FindFile(path)) return orders_.AddFile(listed);
  std::shared_ptr<TIndexFile> opened = table_->HoldIndex(path, false);
  // The same file under another name (or the table's own) is listed once, held once.
  for (const std::shared_ptr<TIndexFile>& f : orders_.Files()) {
    if (f != opened) continue;
    table_->ReleaseIndex(opened);
    return orders_.AddFile(opened);
  }
  return orders_.AddFile(opened);
}

int TWorkArea::IndexTag(const std::string& file, TTagDefinition def) {
  if (mode_ == TOpenMode::read_only) throw ETableError("Table " + alias_ + " is open read-only");
  const std::shared_ptr<TIndexFile> own = table_->OwnIndex();
  const std::string path = !Trim(file).empty() ? IndexPath(file) : own ? own->FileName() : table_->OwnIndexPath();
  Orders();
  std::shared_ptr<TIndexFile> target = orders_.FindFile(path);
  const bool existed = platform::PathExists(path);
  bool held_here = false;
  if (!target) {
    target = table_->HoldIndex(path, true);
    for (const std::shared_ptr<TIndexFile>& f : orders_.Files()) held_here = held_here || f == target;
    if (held_here) table_->ReleaseIndex(target);  // listed already under another name
  } else {
    held_here = true;
  }
  def.key = ToOem(std::move(def.key));
  def.condition = ToOem(std::move(def.condition));
  try {
    table_->BuildTag(*target, def);
  } catch (...) {
    // A file made for this tag and left without any is not kept.
    if (!held_here) table_->ReleaseIndex(target, !existed);
    throw;
  }
  if (!held_here) orders_.AddFile(target, target == table_->OwnIndex());
  orders_.Refresh();
  int number = 0;
  const int tag = target->FindTag(def.name);
  for (int n = 1; n <= orders_.Count() && number == 0; ++n)
    if (orders_.Order(n)->FilePtr() == target && orders_.Order(n)->TagIndex() == tag) number = n;
  SelectOrder(number);
  GoTop();
  return number;
}

void TWorkArea::CloseIndexes() {
  const std::shared_ptr<TIndexFile> own = table_->OwnIndex();
  const bool listed_active = order_ && order_ == orders_.CurrentOrder();
  std::exception_ptr failure;
  for (const std::shared_ptr<TIndexFile>& file : std::vector<std::shared_ptr<TIndexFile>>(orders_.Files())) {
    if (file == own) continue;
    orders_.RemoveFile(file);
    try {
      table_->ReleaseIndex(file);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (listed_active) order_ = orders_.CurrentOrder();
  if (failure) std::rethrow_exception(failure);
}

int TWorkArea::SelectOrder(int number) {
  TOrderList& orders = Orders();
  const int previous = orders.Current();
  if (!orders.SetCurrent(number))
    throw ETableError("Order " + std::to_string(number) + " does not exist in " + alias_);
  order_ = orders.CurrentOrder();
  return previous;
}

// ---- seeking ----

bool TWorkArea::Seek(std::string_view key_text) {
  TIndexOrder* order = CurrentIndexOrder();
  if (!order) throw ETableError("No index order is active in " + alias_);
  const std::string key = ToOem(std::string(key_text));
  const TSeekResult result = order->Seek(key);
  bof_ = eof_ = false;
  found_ = false;
  if (result.recno == 0 || !SettleForward(result.recno)) {
    GoPhantom();
    return false;
  }
  // The record reached must hold the key: an index that says otherwise does not belong to this
  // table as it stands, and a seek through it could land on the wrong record (a user's account,
  // say). Passed over hidden records, found only when the one reached still has the key.
  const bool matches = result.found && order->Matches(key, recno_, image_);
  if (result.found && recno_ == result.recno && !matches)
    order->File().Distrust("record " + std::to_string(recno_) + " is filed under a key it does not hold");
  found_ = matches;
  if (!found_ && !settings_.soft_seek) GoPhantom();
  return found_;
}

bool TWorkArea::SetScope(std::string_view top, std::string_view bottom) {
  TIndexOrder* order = CurrentIndexOrder();
  if (!order) return false;
  order->SetScope(ToOem(std::string(top)), ToOem(std::string(bottom)));
  GoTop();
  return true;
}

std::string TWorkArea::GetScope(int which) {
  TIndexOrder* order = CurrentIndexOrder();
  return order ? ToAnsi(order->GetScope(which)) : std::string();
}

// ---- positions ----

uint32_t TWorkArea::KeyPosition() {
  if (eof_) return 0;
  if (TIndexOrder* order = CurrentIndexOrder()) return order->KeyPosition(recno_, image_);
  return order_ ? 0 : recno_;
}

double TWorkArea::OrderPosGet() {
  if (eof_) return 0;
  if (TIndexOrder* order = CurrentIndexOrder()) return order->RelativePosition(recno_, image_);
  const uint32_t count = RecCount();
  // The nudge keeps fraction * count at or just above the record number when truncated.
  return count == 0 ? 0 : double(recno_) / count * (1 + 1e-12);
}

void TWorkArea::SettleAt(uint32_t recno) {
  bof_ = eof_ = false;
  if (recno == 0) {
    GoPhantom();
    return;
  }
  Load(recno);
  if (Visible()) return;
  const std::string image = image_;
  if (SettleForward(Order().Next(recno, image))) return;
  if (SettleBackward(Order().Prior(recno, image))) return;
  GoPhantom();
}

void TWorkArea::OrderPosSet(double fraction) {
  if (TIndexOrder* order = CurrentIndexOrder()) return SettleAt(order->RecordAtRelative(fraction));
  const uint32_t count = RecCount();
  if (count == 0) return SettleAt(0);
  double position = std::round(fraction * count);
  if (!(position >= 1)) position = 1;  // also for NaN
  if (position > count) position = count;
  SettleAt(uint32_t(position));
}

}  // namespace tavrik::xbase
