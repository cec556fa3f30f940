// The built-in functions of the expression language: their names, argument types, result type,
// the longest character value they give, and their bodies. Names may be shortened to their first
// four letters or more, as long as only one function begins with the text.
#pragma once

#include <string_view>

#include "xbase/ExprNode.h"

namespace tavrik::xbase {

struct TFunctionDef {
  const char* name;
  int min_args;
  int max_args;
  // One letter per argument: C N L D, '*' any type, '=' the type of the argument before it.
  const char* arg_types;
  // 'C' 'N' 'L' 'D', or a digit: the type of that argument (1-based).
  char result;
  // Character results: the longest value, or -1 when not known before evaluation. May be null
  // for non-character results.
  int (*length)(TExprArgs args, const TExprContext& fields);
  void (*eval)(TExprArgs args, const TExprContext& ctx, TExprValue& out);
};

// The function `upper_name` names, or nullptr.
const TFunctionDef* FindFunction(std::string_view upper_name);

// A call node; checks the argument count and types and raises EExprError when they do not fit.
TExprNodePtr MakeCall(const TFunctionDef& def, std::vector<TExprNodePtr> args, size_t pos,
                      const TExprContext& fields);

// The function tables of each family, ending with an entry whose name is null.
extern const TFunctionDef kStringFunctions[];
extern const TFunctionDef kNumericFunctions[];
extern const TFunctionDef kDateFunctions[];
extern const TFunctionDef kOtherFunctions[];

// Helpers the function bodies share.
// A constant numeric argument's value, when the argument is a literal.
bool ConstantNumber(const TExprNode& node, double& value);
// Counts (lengths, positions) taken from a numeric argument: truncated, clamped to ±1e9.
long long CountArg(double value);
// Rounds half away from zero to `decimals` places (negative: to tens, hundreds, ...), with a
// nudge so that 2.675, stored as 2.67499..., still rounds up; never gives -0.
double RoundHalfAway(double value, int decimals);
// Windows-1252 letter case.
char UpperChar(char c);
char LowerChar(char c);

}  // namespace tavrik::xbase
