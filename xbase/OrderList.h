// The orders of one work area: every tag of every index file the work area has open, numbered
// from 1 in the order the files were opened and, within a file, the order of its tags; 0 is the
// natural (record number) order. Answers the facts the engine's commands report about orders.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/Order.h"

namespace tavrik::xbase {

class TOrderList {
 public:
  // `area` is the work area the orders belong to; it must outlive the list.
  explicit TOrderList(const TExprContext& area) : area_(area) {}

  // Lists the tags of `file` after those already listed, or with `first` before them (a file
  // listed already is not listed twice). Returns the number of the file's first order, 0 when it
  // has no tags.
  int AddFile(std::shared_ptr<TIndexFile> file, bool first = false);
  // Forgets every file; the natural order becomes current.
  void Clear();
  // Forgets one file; the natural order becomes current when the current order was one of its.
  void RemoveFile(const std::shared_ptr<TIndexFile>& file);
  // Takes in the tags made since the files were listed (IndexTag on a listed file); the current
  // order stays current, under its new number, and orders keep their scopes.
  void Refresh();
  // Whether a listed file has gained tags since it was listed.
  bool Stale() const;
  const std::vector<std::shared_ptr<TIndexFile>>& Files() const { return files_; }
  // The listed file with this path, or nullptr.
  std::shared_ptr<TIndexFile> FindFile(std::string_view path) const;

  // Number of orders (SysProp 3000).
  int Count() const { return static_cast<int>(orders_.size()); }
  // The current order number (IndexOrd); 0 for the natural order.
  int Current() const { return current_; }
  // Makes order `number` current (0: natural order); false, with nothing changed, when there
  // is no such order.
  bool SetCurrent(int number);
  // The current order, nullptr for the natural order.
  TIndexOrder* CurrentOrder() { return current_ == 0 ? nullptr : orders_[static_cast<size_t>(current_ - 1)].get(); }
  // Order `number`, nullptr when there is none.
  TIndexOrder* Order(int number);

  // The order number of a tag by name, letter case ignored (TagArea); 0 when there is none.
  int TagArea(std::string_view name) const;
  // Facts of order `number`, or of the current order when `number` is 0; "" or 0 when there is
  // no such order.
  std::string TagName(int number) const;
  std::string IndexName(int number) const;  // the path of the order's index file
  std::string IndexKey(int number = 0) const;
  std::string IndexKeyField(int number = 0) const;
  std::string IndexCondition(int number = 0) const;
  // 1 for an ordinary tag, 2 for a unique one, 0 when there is no such order.
  int IndexType(int number = 0) const;
  // SysProp 3002.
  bool Descending(int number = 0) const;

 private:
  const TIndexOrder* Resolve(int number) const;

  const TExprContext& area_;
  std::vector<std::shared_ptr<TIndexFile>> files_;
  std::vector<std::unique_ptr<TIndexOrder>> orders_;
  int current_ = 0;
};

}  // namespace tavrik::xbase
