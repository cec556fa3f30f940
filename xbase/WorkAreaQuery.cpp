// Expressions evaluated on a work area's current record, its filter, and the counts of what it
// shows.
#include <cstdio>

#include "core/StrUtils.h"
#include "xbase/ExprDate.h"
#include "xbase/ExprError.h"
#include "xbase/WorkArea.h"

namespace tavrik::xbase {

TExpression TWorkArea::Compile(std::string_view expression) const {
  return TExpression(ToOem(std::string(expression)), *this);
}

int TWorkArea::EvalTest(std::string_view expression) const { return Compile(expression).TypeCode(); }

std::string TWorkArea::EvalString(std::string_view expression) const {
  const TExprValue value = Compile(expression).Evaluate(*this);
  switch (value.type) {
    case TExprType::etCharacter: return ToAnsi(value.text);
    case TExprType::etDate: return DayToDtos(value.date);
    case TExprType::etLogical: return value.logical ? "T" : "F";
    case TExprType::etNumeric: break;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value.number + 0.0);
  return buf;
}

double TWorkArea::EvalNumeric(std::string_view expression) const {
  const TExpression expr = Compile(expression);
  const TExprValue value = expr.Evaluate(*this);
  switch (value.type) {
    case TExprType::etNumeric: return value.number;
    case TExprType::etDate: return value.date;
    default: throw EExprError("Expression is not numeric: " + std::string(expression));
  }
}

bool TWorkArea::EvalLogical(std::string_view expression) const { return Compile(expression).IsTrue(*this); }

int TWorkArea::QueryTest(std::string_view condition) const {
  if (Trim(condition).empty()) return 0;
  try {
    return Compile(condition).Type() == TExprType::etLogical ? 1 : 0;
  } catch (const EExprError&) {
    return -1;
  }
}

TQueryCount TWorkArea::QueryRowCount(std::string_view condition) {
  const std::string text = Trim(condition);
  if (text.empty()) {
    filter_ = nullptr;
    filter_text_.clear();
  } else {
    auto expr = std::make_shared<const TExpression>(Compile(text));
    if (expr->Type() != TExprType::etLogical) throw EExprError("Filter expression is not logical: " + text);
    filter_ = [expr](const TWorkArea& area) {
      try {
        return expr->IsTrue(area);
      } catch (const EExprError&) {
        return false;  // a record the condition cannot be computed for does not match
      }
    };
    filter_text_ = text;
  }
  TQueryCount count;
  count.matches = Count();
  count.record_count = QueryRecCount();
  GoTop();
  return count;
}

uint32_t TWorkArea::CountByWalking() {
  const uint32_t recno = recno_;
  std::string image = image_;
  const bool bof = bof_, eof = eof_;
  auto restore = [&] {
    recno_ = recno;
    image_ = std::move(image);
    bof_ = bof;
    eof_ = eof;
  };
  uint32_t n = 0;
  try {
    for (GoTop(); !eof_; Skip(1)) ++n;
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return n;
}

uint32_t TWorkArea::Count() {
  if (!filter_ && !settings_.deleted) {
    if (!order_) return RecCount();
    if (TIndexOrder* order = CurrentIndexOrder()) return order->KeyCount();
  }
  return CountByWalking();
}

uint32_t TWorkArea::QueryRecCount() {
  const bool deleted = settings_.deleted;
  settings_.deleted = false;
  try {
    const uint32_t n = Count();
    settings_.deleted = deleted;
    return n;
  } catch (...) {
    settings_.deleted = deleted;
    throw;
  }
}

}  // namespace tavrik::xbase
