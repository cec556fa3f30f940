#include "xbase/OrderList.h"

namespace tavrik::xbase {

int TOrderList::AddFile(std::shared_ptr<TIndexFile> file) {
  for (size_t i = 0; i < files_.size(); ++i) {
    if (files_[i] != file) continue;
    // Listed already: answer its first order.
    for (size_t n = 0; n < orders_.size(); ++n)
      if (orders_[n]->FilePtr() == file) return static_cast<int>(n + 1);
    return 0;
  }
  files_.push_back(file);
  int first = file->TagCount() > 0 ? Count() + 1 : 0;
  for (int t = 0; t < file->TagCount(); ++t) orders_.push_back(std::make_unique<TIndexOrder>(file, t, area_));
  return first;
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

std::string TOrderList::TagName(int number) const {
  const TIndexOrder* o = Resolve(number);
  return o ? o->Tag().Name() : std::string();
}

std::string TOrderList::IndexName(int number) const {
  const TIndexOrder* o = Resolve(number);
  return o ? o->File().FileName() : std::string();
}

std::string TOrderList::IndexKey(int number) const {
  const TIndexOrder* o = Resolve(number);
  return o ? o->Tag().Definition().key : std::string();
}

std::string TOrderList::IndexKeyField(int number) const {
  const TIndexOrder* o = Resolve(number);
  return o ? o->Tag().Key().KeyField() : std::string();
}

std::string TOrderList::IndexCondition(int number) const {
  const TIndexOrder* o = Resolve(number);
  return o ? o->Tag().Definition().condition : std::string();
}

int TOrderList::IndexType(int number) const {
  const TIndexOrder* o = Resolve(number);
  return o ? (o->Tag().Unique() ? 2 : 1) : 0;
}

bool TOrderList::Descending(int number) const {
  const TIndexOrder* o = Resolve(number);
  return o && o->Tag().Descending();
}

}  // namespace tavrik::xbase
