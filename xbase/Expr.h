// A compiled xBase expression: compile the text once against a work area's fields, then evaluate
// it against any record of that work area as often as needed. Copies share the compiled tree,
// which is never changed after compiling, so evaluation may run on several threads at once.
//
// Type codes (TypeCode(), the engine's EvalTest answer): 1 character, 2 numeric, 3 logical, 4 date.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "xbase/ExprContext.h"
#include "xbase/ExprNode.h"
#include "xbase/ExprValue.h"

namespace tavrik::xbase {

class TExpression {
 public:
  // Compiles `text` against the fields and settings of `fields` (only its structure is read).
  // Raises EExprError with a message naming the fault: syntax, unknown field or function, wrong
  // argument count or type, nesting too deep, text too long.
  TExpression(std::string_view text, const TExprContext& fields);

  const std::string& Text() const { return text_; }
  TExprType Type() const { return root_->Type(); }
  int TypeCode() const { return static_cast<int>(root_->Type()); }
  // Character expressions: the longest value, or -1 when only evaluation can tell.
  int Length() const { return root_->length; }
  const TExprNode& Root() const { return *root_; }

  // The value for the context's current record. Raises EExprError for values that cannot be
  // computed (division by zero, a string beyond kMaxStringLength, a date out of range).
  TExprValue Evaluate(const TExprContext& ctx) const;
  // The value of a logical expression; raises EExprError when the expression is not logical.
  bool IsTrue(const TExprContext& ctx) const;

 private:
  std::string text_;
  std::shared_ptr<const TExprNode> root_;
};

}  // namespace tavrik::xbase
