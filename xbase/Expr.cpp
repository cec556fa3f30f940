#include "xbase/Expr.h"

#include "xbase/ExprError.h"
#include "xbase/ExprParser.h"

namespace tavrik::xbase {

TExpression::TExpression(std::string_view text, const TExprContext& fields)
    : text_(text), root_(ParseExpression(text, fields)) {}

TExprValue TExpression::Evaluate(const TExprContext& ctx) const {
  TExprValue value;
  root_->Eval(ctx, value);
  return value;
}

bool TExpression::IsTrue(const TExprContext& ctx) const {
  if (root_->Type() != TExprType::etLogical)
    throw EExprError("Expression is not logical: " + text_);
  TExprValue value;
  root_->Eval(ctx, value);
  return value.logical;
}

}  // namespace tavrik::xbase
