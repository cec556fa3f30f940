// The order, seek, expression and filter commands of a work area set: each works on the current
// work area.
#include "xbase/WorkAreaSet.h"

namespace tavrik::xbase {

int TWorkAreaSet::IndexOpen(const std::string& file) { return CurrentArea().IndexOpen(file); }

int TWorkAreaSet::IndexTag(const std::string& file, const std::string& tag, const std::string& key,
                           const std::string& condition, bool unique, bool descending) {
  return CurrentArea().IndexTag(file, TTagDefinition{tag, key, condition, unique, descending});
}

int TWorkAreaSet::SetOrder(int order) { return CurrentArea().SelectOrder(order); }
int TWorkAreaSet::IndexOrd() { return CurrentArea().Orders().Current(); }
int TWorkAreaSet::TagArea(std::string_view tag) { return CurrentArea().Orders().TagArea(tag); }
std::string TWorkAreaSet::TagName(int order) { return CurrentArea().Orders().TagName(order); }
std::string TWorkAreaSet::IndexName(int order) { return CurrentArea().Orders().IndexName(order); }

std::string TWorkAreaSet::IndexKey(int order) {
  TWorkArea& area = CurrentArea();
  return area.ToAnsi(area.Orders().IndexKey(order));
}

std::string TWorkAreaSet::IndexKeyField(int order) { return CurrentArea().Orders().IndexKeyField(order); }

std::string TWorkAreaSet::IndexCondition(int order) {
  TWorkArea& area = CurrentArea();
  return area.ToAnsi(area.Orders().IndexCondition(order));
}

int TWorkAreaSet::IndexType(int order) { return CurrentArea().Orders().IndexType(order); }
void TWorkAreaSet::CloseIndexes() { CurrentArea().CloseIndexes(); }
bool TWorkAreaSet::Seek(std::string_view key) { return CurrentArea().Seek(key); }
bool TWorkAreaSet::Found() { return CurrentArea().Found(); }
bool TWorkAreaSet::SetScope(std::string_view low, std::string_view high) { return CurrentArea().SetScope(low, high); }
std::string TWorkAreaSet::GetScope(int which) { return CurrentArea().GetScope(which); }
void TWorkAreaSet::OrderPosSet(double position) { CurrentArea().OrderPosSet(position); }
double TWorkAreaSet::OrderPosGet() { return CurrentArea().OrderPosGet(); }
int TWorkAreaSet::KeyPosition() { return int(CurrentArea().KeyPosition()); }

int TWorkAreaSet::EvalTest(std::string_view expression) { return CurrentArea().EvalTest(expression); }
std::string TWorkAreaSet::EvalString(std::string_view expression) { return CurrentArea().EvalString(expression); }
double TWorkAreaSet::EvalNumeric(std::string_view expression) { return CurrentArea().EvalNumeric(expression); }
bool TWorkAreaSet::EvalLogical(std::string_view expression) { return CurrentArea().EvalLogical(expression); }
TQueryCount TWorkAreaSet::QueryRowCount(std::string_view condition) { return CurrentArea().QueryRowCount(condition); }
int TWorkAreaSet::QueryTest(std::string_view condition) { return CurrentArea().QueryTest(condition); }
int TWorkAreaSet::QueryRecCount() { return int(CurrentArea().QueryRecCount()); }
std::string TWorkAreaSet::DBFilter() { return CurrentArea().FilterText(); }
int TWorkAreaSet::Count() { return int(CurrentArea().Count()); }

}  // namespace tavrik::xbase
