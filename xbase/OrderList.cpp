#include "xbase/OrderList.h"

#include <algorithm>

namespace tavrik::xbase {

namespace {

int FirstOrderOf(const std::vector<std::unique_ptr<TIndexOrder>>& orders, const std::shared_ptr<TIndexFile>& file) {
  for (size_t n = 0; n < orders.size(); ++n)
    if (orders[n]->FilePtr() == file) return static_cast<int>(n + 1);
  return 0;
}

}  // namespace

int TOrderList::AddFile(std::shared_ptr<TIndexFile> file, bool first) {
  for (const std::shared_ptr<TIndexFile>& listed : files_)
    if (listed == file) return FirstOrderOf(orders_, file);
  if (first) {
    files_.insert(files_.begin(), file);
    Refresh();
    return FirstOrderOf(orders_, file);
  }
  std::lock_guard<std::recursive_mutex> lock(file->Mutex());
  files_.push_back(file);
  int first_order = file->TagCount() > 0 ? Count() + 1 : 0;
  for (int t = 0; t < file->TagCount(); ++t) orders_.push_back(std::make_unique<TIndexOrder>(file, t, area_));
  return first_order;
}

void TOrderList::RemoveFile(const std::shared_ptr<TIndexFile>& file) {
  const TIndexOrder* current = CurrentOrder();
  if (current && current->FilePtr() == file) current_ = 0;
  files_.erase(std::remove(files_.begin(), files_.end(), file), files_.end());
  Refresh();
}

bool TOrderList::Stale() const {
  size_t tags = 0;
  for (const std::shared_ptr<TIndexFile>& file : files_) {
    std::lock_guard<std::recursive_mutex> lock(file->Mutex());
    tags += static_cast<size_t>(file->TagCount());
  }
  return tags != orders_.size();
}

void TOrderList::Clear() {
  orders_.clear();
  files_.clear();
  current_ = 0;
}

void TOrderList::Refresh() {
  const TIndexOrder* current = CurrentOrder();
  std::vector<std::unique_ptr<TIndexOrder>> old = std::move(orders_);
  orders_.clear();
  int new_current = 0;
  for (const std::shared_ptr<TIndexFile>& file : files_) {
    std::lock_guard<std::recursive_mutex> lock(file->Mutex());
    for (int t = 0; t < file->TagCount(); ++t) {
      std::unique_ptr<TIndexOrder> order;
      for (std::unique_ptr<TIndexOrder>& o : old)
        if (o && o->FilePtr() == file && o->TagIndex() == t) order = std::move(o);
      if (!order) order = std::make_unique<TIndexOrder>(file, t, area_);
      if (current && current->FilePtr() == file && current->TagIndex() == t) new_current = Count() + 1;
      orders_.push_back(std::move(order));
    }
  }
  current_ = new_current;
}

std::shared_ptr<TIndexFile> TOrderList::FindFile(std::string_view path) const {
  for (const std::shared_ptr<TIndexFile>& file : files_)
    if (file->FileName() == path) return file;
  return nullptr;
}

bool TOrderList::SetCurrent(int number) {
  if (number < 0 || number > Count()) return false;
  current_ = number;
  return true;
}

TIndexOrder* TOrderList::Order(int number) {
  return number >= 1 && number <= Count() ? orders_[static_cast<size_t>(number - 1)].get() : nullptr;
}

const TIndexOrder* TOrderList::Resolve(int number) const {
  if (number == 0) number = current_;
  return number >= 1 && number <= Count() ? orders_[static_cast<size_t>(number - 1)].get() : nullptr;
}

int TOrderList::TagArea(std::string_view name) const {
  for (size_t n = 0; n < orders_.size(); ++n)
    if (orders_[n]->File().FindTag(name) == orders_[n]->TagIndex()) return static_cast<int>(n + 1);
  return 0;
}

// The facts below read a tag that another thread may be replacing (IndexTag on a shared file),
// so each holds the file's lock.

std::string TOrderList::TagName(int number) const {
  const TIndexOrder* o = Resolve(number);
  if (!o) return {};
  std::lock_guard<std::recursive_mutex> lock(o->File().Mutex());
  return o->Tag().Name();
}

std::string TOrderList::IndexName(int number) const {
  const TIndexOrder* o = Resolve(number);
  if (!o) return {};
  std::lock_guard<std::recursive_mutex> lock(o->File().Mutex());
  return o->File().FileName();
}

std::string TOrderList::IndexKey(int number) const {
  const TIndexOrder* o = Resolve(number);
  if (!o) return {};
  std::lock_guard<std::recursive_mutex> lock(o->File().Mutex());
  return o->Tag().Definition().key;
}

std::string TOrderList::IndexKeyField(int number) const {
  const TIndexOrder* o = Resolve(number);
  if (!o) return {};
  std::lock_guard<std::recursive_mutex> lock(o->File().Mutex());
  return o->Tag().Key().KeyField();
}

std::string TOrderList::IndexCondition(int number) const {
  const TIndexOrder* o = Resolve(number);
  if (!o) return {};
  std::lock_guard<std::recursive_mutex> lock(o->File().Mutex());
  return o->Tag().Definition().condition;
}

int TOrderList::IndexType(int number) const {
  const TIndexOrder* o = Resolve(number);
  if (!o) return 0;
  std::lock_guard<std::recursive_mutex> lock(o->File().Mutex());
  return o->Tag().Unique() ? 2 : 1;
}

bool TOrderList::Descending(int number) const {
  const TIndexOrder* o = Resolve(number);
  if (!o) return false;
  std::lock_guard<std::recursive_mutex> lock(o->File().Mutex());
  return o->Tag().Descending();
}

}  // namespace tavrik::xbase
