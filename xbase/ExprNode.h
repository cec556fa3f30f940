// The compiled form of an expression: a tree of typed nodes, checked when it is built, evaluated
// against a work area's current record as often as needed. Types are fixed at compile time, so a
// type error is found once, before any record is read.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "xbase/ExprContext.h"
#include "xbase/ExprValue.h"

namespace tavrik::xbase {

class TExprNode {
 public:
  TExprNode(TExprType type, size_t pos) : type_(type), pos_(pos) {}
  virtual ~TExprNode() = default;
  TExprNode(const TExprNode&) = delete;
  TExprNode& operator=(const TExprNode&) = delete;

  virtual void Eval(const TExprContext& ctx, TExprValue& out) const = 0;
  // Literal nodes answer their value; everything else nullptr.
  virtual const TExprValue* Constant() const { return nullptr; }
  // A field reference answers its field; everything else nullptr.
  virtual const TFieldInfo* Field() const { return nullptr; }
  // A function call answers its (upper-case) name; everything else "".
  virtual std::string FunctionName() const { return {}; }
  virtual std::span<const std::unique_ptr<TExprNode>> Children() const { return {}; }

  TExprType Type() const { return type_; }
  size_t Pos() const { return pos_; }

  // Character nodes: the longest value the node can give, or -1 when that is not known before
  // evaluation. Orders need it for their fixed key length.
  int length = -1;
  // Numeric nodes: the width and decimals STR uses when none are given (a numeric field's own).
  int num_width = -1;
  int num_decimals = -1;
  // Levels of nodes below and including this one; the parser keeps it bounded so that
  // evaluation and destruction never recurse deeper than kMaxExprDepth.
  int height = 1;

 private:
  TExprType type_;
  size_t pos_;
};

using TExprNodePtr = std::unique_ptr<TExprNode>;

constexpr int kMaxExprDepth = 200;
using TExprArgs = std::span<const TExprNodePtr>;

// Evaluates `node` and returns the value (a convenience for function bodies).
TExprValue EvalNode(const TExprNode& node, const TExprContext& ctx);

enum class TBinaryOp { boAdd, boSub, boMul, boDiv, boMod, boPow, boEq, boEqEq, boNe, boLt, boLe, boGt, boGe, boIn, boAnd, boOr };

TExprNodePtr MakeLiteral(TExprValue value, size_t pos);
// A field of the context; memo and binary fields are refused.
TExprNodePtr MakeFieldRef(const TFieldInfo& field, size_t pos);
TExprNodePtr MakeNegate(TExprNodePtr operand, size_t pos);
TExprNodePtr MakeNot(TExprNodePtr operand, size_t pos);
// Checks the operand types and picks the operation; raises "Type mismatch: ..." otherwise.
TExprNodePtr MakeBinary(TBinaryOp op, TExprNodePtr left, TExprNodePtr right, size_t pos);

// .AND. (op boAnd) or .OR. (boOr) over two or more logical operands, evaluated left to right
// until one decides.
TExprNodePtr MakeLogicalChain(TBinaryOp op, std::vector<TExprNodePtr> operands, size_t pos);

// Raises EExprError unless a character value of `size` bytes is acceptable.
void CheckStringLength(size_t size);

// String comparison with xBase's rules: `exact` compares whole values ignoring trailing blanks;
// otherwise `left` is compared only over the length of `right` (an empty `right` matches
// everything). Returns <0, 0, >0.
int CompareStrings(std::string_view left, std::string_view right, bool exact);

}  // namespace tavrik::xbase
