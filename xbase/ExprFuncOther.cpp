// The functions of the expression language that look at the record or choose between values.
#include "xbase/ExprDate.h"
#include "xbase/ExprFunctions.h"

namespace tavrik::xbase {

namespace {

void Iif(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  // Only the chosen branch is evaluated, so IIF(Q = 0, 0, T / Q) is safe.
  bool condition = EvalNode(*a[0], ctx).logical;
  a[condition ? 1 : 2]->Eval(ctx, out);
}

int IifLength(TExprArgs a, const TExprContext&) {
  return a[1]->length < 0 || a[2]->length < 0 ? -1 : std::max(a[1]->length, a[2]->length);
}

void Empty(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  TExprValue v = EvalNode(*a[0], ctx);
  bool empty = false;
  switch (v.type) {
    case TExprType::etCharacter: empty = v.text.find_first_not_of(" \t\r\n") == std::string::npos; break;
    case TExprType::etNumeric: empty = v.number == 0; break;
    case TExprType::etDate: empty = v.date == kBlankDate; break;
    case TExprType::etLogical: empty = !v.logical; break;
  }
  out = TExprValue::Logical(empty);
}

void Deleted(TExprArgs, const TExprContext& ctx, TExprValue& out) {
  std::string_view image = ctx.RecordImage();
  out = TExprValue::Logical(!image.empty() && image[0] == '*');
}

void RecNo(TExprArgs, const TExprContext& ctx, TExprValue& out) {
  out = TExprValue::Numeric(static_cast<double>(ctx.RecNo()));
}

}  // namespace

const TFunctionDef kOtherFunctions[] = {
    {"IIF", 3, 3, "L*=", '2', IifLength, Iif},
    {"IF", 3, 3, "L*=", '2', IifLength, Iif},
    {"EMPTY", 1, 1, "*", 'L', nullptr, Empty},
    {"DELETED", 0, 0, "", 'L', nullptr, Deleted},
    {"RECNO", 0, 0, "", 'N', nullptr, RecNo},
    {nullptr, 0, 0, nullptr, 0, nullptr, nullptr},
};

}  // namespace tavrik::xbase
