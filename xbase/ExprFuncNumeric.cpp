// The numeric functions of the expression language, and MAX/MIN, which also take dates and text.
#include <algorithm>
#include <cmath>

#include "xbase/ExprError.h"
#include "xbase/ExprFunctions.h"
#include "xbase/ExprNode.h"

namespace tavrik::xbase {

namespace {

void Abs(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  a[0]->Eval(ctx, out);
  out.number = std::fabs(out.number);
}

void Int(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  a[0]->Eval(ctx, out);
  out.number = std::trunc(out.number) + 0.0;
}

void Round(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  long long decimals = CountArg(EvalNode(*a[1], ctx).number);
  a[0]->Eval(ctx, out);
  if (decimals > 15) return;  // beyond what a double holds: nothing to round
  out.number = RoundHalfAway(out.number, static_cast<int>(std::max(decimals, -308LL)));
}

int Compare(const TExprValue& x, const TExprValue& y) {
  switch (x.type) {
    case TExprType::etCharacter: return CompareStrings(x.text, y.text, true);
    case TExprType::etNumeric: return x.number < y.number ? -1 : x.number > y.number;
    case TExprType::etDate: return x.date < y.date ? -1 : x.date > y.date;
    case TExprType::etLogical: return int(x.logical) - int(y.logical);
  }
  return 0;
}

void Max(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  TExprValue y;
  a[0]->Eval(ctx, out);
  a[1]->Eval(ctx, y);
  if (Compare(y, out) > 0) out = std::move(y);
}

void Min(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  TExprValue y;
  a[0]->Eval(ctx, out);
  a[1]->Eval(ctx, y);
  if (Compare(y, out) < 0) out = std::move(y);
}

int LongerOfTwo(TExprArgs a, const TExprContext&) {
  return a[0]->length < 0 || a[1]->length < 0 ? -1 : std::max(a[0]->length, a[1]->length);
}

}  // namespace

double RoundHalfAway(double value, int decimals) {
  double factor = std::pow(10.0, decimals);
  double x = value * factor;
  if (!std::isfinite(x) || factor == 0) return value;
  double nudged = x + std::copysign(1e-9 * std::max(1.0, std::fabs(x)), x);
  double r = std::round(nudged) / factor;
  return r == 0 ? 0.0 : r;
}

const TFunctionDef kNumericFunctions[] = {
    {"ABS", 1, 1, "N", 'N', nullptr, Abs},
    {"INT", 1, 1, "N", 'N', nullptr, Int},
    {"ROUND", 2, 2, "NN", 'N', nullptr, Round},
    {"MAX", 2, 2, "*=", '1', LongerOfTwo, Max},
    {"MIN", 2, 2, "*=", '1', LongerOfTwo, Min},
    {nullptr, 0, 0, nullptr, 0, nullptr, nullptr},
};

}  // namespace tavrik::xbase
