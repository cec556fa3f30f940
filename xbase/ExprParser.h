// Turns the text of an xBase expression into a checked node tree. Precedence, lowest first:
// .OR.; .AND.; .NOT. and !; comparisons (= == <> != # < <= > >= $); + -; * / %; ^ and **;
// unary + -. Names are fields of the context unless a "(" follows; FIELD->NAME is the field NAME,
// any other alias is refused.
#pragma once

#include <string_view>

#include "xbase/ExprNode.h"

namespace tavrik::xbase {

// Longest expression text accepted.
constexpr size_t kMaxExpressionLength = 65535;

// Raises EExprError with a message that names what is wrong and where.
TExprNodePtr ParseExpression(std::string_view text, const TExprContext& fields);

}  // namespace tavrik::xbase
