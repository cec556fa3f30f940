#include "xbase/ExprNode.h"

#include <cmath>

#include "xbase/ExprDate.h"
#include "xbase/ExprError.h"

namespace tavrik::xbase {

namespace {

void CheckNumber(double value) {
  if (std::isnan(value)) throw EExprError("Numeric result is undefined");
  if (std::isinf(value)) throw EExprError("Numeric overflow");
}

class TLiteralNode : public TExprNode {
 public:
  TLiteralNode(TExprValue value, size_t pos) : TExprNode(value.type, pos), value_(std::move(value)) {
    if (value_.type == TExprType::etCharacter) length = static_cast<int>(value_.text.size());
  }
  void Eval(const TExprContext&, TExprValue& out) const override { out = value_; }
  const TExprValue* Constant() const override { return &value_; }

 private:
  TExprValue value_;
};

TExprType FieldType(const TFieldInfo& field) {
  switch (field.type) {
    case 'C': return TExprType::etCharacter;
    // I fields hold a binary integer, not text; the tables refuse them, and so do expressions.
    case 'N':
    case 'F': return TExprType::etNumeric;
    case 'D': return TExprType::etDate;
    case 'L': return TExprType::etLogical;
    default:
      throw EExprError("Field " + field.name + " of type " + std::string(1, field.type) +
                       " cannot be used in an expression");
  }
}

class TFieldNode : public TExprNode {
 public:
  TFieldNode(const TFieldInfo& field, size_t pos) : TExprNode(FieldType(field), pos), field_(field) {
    if (field_.width < 0 || field_.offset < 1)
      throw EExprError("Field " + field_.name + " has an impossible offset or width");
    if (Type() == TExprType::etCharacter) length = field_.width;
    if (Type() == TExprType::etNumeric) num_width = field_.width, num_decimals = field_.decimals;
  }

  void Eval(const TExprContext& ctx, TExprValue& out) const override {
    std::string_view image = ctx.RecordImage();
    size_t end = static_cast<size_t>(field_.offset) + static_cast<size_t>(field_.width);
    if (image.size() < end) throw EExprError("Record is too short for field " + field_.name);
    std::string_view text = image.substr(static_cast<size_t>(field_.offset), static_cast<size_t>(field_.width));
    out.type = Type();
    switch (Type()) {
      case TExprType::etCharacter: out.text.assign(text); break;
      case TExprType::etNumeric: out.number = TextToNumber(text); break;
      case TExprType::etDate: out.date = DayFromDtos(text); break;
      case TExprType::etLogical: {
        char c = text.empty() ? ' ' : text[0];
        out.logical = c == 'T' || c == 't' || c == 'Y' || c == 'y';
        break;
      }
    }
  }
  const TFieldInfo* Field() const override { return &field_; }

 private:
  TFieldInfo field_;
};

class TNegateNode : public TExprNode {
 public:
  TNegateNode(TExprNodePtr operand, size_t pos) : TExprNode(TExprType::etNumeric, pos), operand_(std::move(operand)) {}
  void Eval(const TExprContext& ctx, TExprValue& out) const override {
    operand_->Eval(ctx, out);
    out.number = -out.number;
  }
  std::span<const TExprNodePtr> Children() const override { return {&operand_, 1}; }

 private:
  TExprNodePtr operand_;
};

class TNotNode : public TExprNode {
 public:
  TNotNode(TExprNodePtr operand, size_t pos) : TExprNode(TExprType::etLogical, pos), operand_(std::move(operand)) {}
  void Eval(const TExprContext& ctx, TExprValue& out) const override {
    operand_->Eval(ctx, out);
    out.logical = !out.logical;
  }
  std::span<const TExprNodePtr> Children() const override { return {&operand_, 1}; }

 private:
  TExprNodePtr operand_;
};

// Every binary operator: the operation is chosen once, from the operand types, when compiling.
class TBinaryNode : public TExprNode {
 public:
  enum class TKind {
    bkConcat, bkConcatTrim, bkNumeric, bkDatePlus, bkNumberPlusDate, bkDateMinus, bkDateDiff,
    bkCompare, bkContains
  };

  TBinaryNode(TBinaryOp op, TKind kind, TExprType type, TExprNodePtr left, TExprNodePtr right, size_t pos)
      : TExprNode(type, pos), op_(op), kind_(kind) {
    operands_[0] = std::move(left);
    operands_[1] = std::move(right);
    if (kind_ == TKind::bkConcat || kind_ == TKind::bkConcatTrim) {
      int l = operands_[0]->length, r = operands_[1]->length;
      length = l < 0 || r < 0 ? -1 : l + r;
    }
  }

  std::span<const TExprNodePtr> Children() const override { return {operands_, 2}; }

  void Eval(const TExprContext& ctx, TExprValue& out) const override {
    TExprValue right;
    operands_[0]->Eval(ctx, out);
    operands_[1]->Eval(ctx, right);
    switch (kind_) {
      case TKind::bkConcat:
        CheckStringLength(out.text.size() + right.text.size());
        out.text += right.text;
        return;
      case TKind::bkConcatTrim: {
        // xBase's "-" on strings moves the left side's trailing blanks behind the right side.
        CheckStringLength(out.text.size() + right.text.size());
        size_t kept = out.text.find_last_not_of(' ');
        kept = kept == std::string::npos ? 0 : kept + 1;
        size_t blanks = out.text.size() - kept;
        out.text.resize(kept);
        out.text += right.text;
        out.text.append(blanks, ' ');
        return;
      }
      case TKind::bkNumeric: out.number = Arithmetic(out.number, right.number); return;
      case TKind::bkDatePlus: out.date = ShiftDate(out.date, right.number); return;
      case TKind::bkNumberPlusDate: {
        int32_t d = ShiftDate(right.date, out.number);
        out = TExprValue::Date(d);
        return;
      }
      case TKind::bkDateMinus: out.date = ShiftDate(out.date, -right.number); return;
      case TKind::bkDateDiff: {
        // A difference with a blank date has no meaning; it counts as no days.
        double days = out.date == kBlankDate || right.date == kBlankDate ? 0.0 : double(out.date) - right.date;
        out = TExprValue::Numeric(days);
        return;
      }
      case TKind::bkCompare: {
        bool result = Compare(out, right, ctx.Settings().exact);
        out = TExprValue::Logical(result);
        return;
      }
      case TKind::bkContains: {
        bool result = !out.text.empty() && right.text.find(out.text) != std::string::npos;
        out = TExprValue::Logical(result);
        return;
      }
    }
  }

 private:
  double Arithmetic(double a, double b) const {
    double r = 0;
    switch (op_) {
      case TBinaryOp::boAdd: r = a + b; break;
      case TBinaryOp::boSub: r = a - b; break;
      case TBinaryOp::boMul: r = a * b; break;
      case TBinaryOp::boDiv:
        if (b == 0) throw EExprError("Division by zero");
        r = a / b;
        break;
      case TBinaryOp::boMod:
        if (b == 0) throw EExprError("Division by zero");
        r = std::fmod(a, b);
        break;
      case TBinaryOp::boPow: r = std::pow(a, b); break;
      default: break;
    }
    CheckNumber(r);
    return r;
  }

  static int32_t ShiftDate(int32_t date, double days) {
    if (date == kBlankDate) return kBlankDate;
    double d = double(date) + std::trunc(days);
    if (!(d >= 1 && d <= MaxDayNumber())) throw EExprError("Date out of range");
    return static_cast<int32_t>(d);
  }

  bool Compare(const TExprValue& a, const TExprValue& b, bool exact) const {
    int c = 0;
    switch (a.type) {
      case TExprType::etCharacter:
        if (op_ == TBinaryOp::boEqEq) return a.text == b.text;
        c = CompareStrings(a.text, b.text, exact);
        break;
      case TExprType::etNumeric: c = a.number < b.number ? -1 : a.number > b.number ? 1 : 0; break;
      case TExprType::etDate: c = a.date < b.date ? -1 : a.date > b.date ? 1 : 0; break;
      case TExprType::etLogical: c = int(a.logical) - int(b.logical); break;
    }
    switch (op_) {
      case TBinaryOp::boEq:
      case TBinaryOp::boEqEq: return c == 0;
      case TBinaryOp::boNe: return c != 0;
      case TBinaryOp::boLt: return c < 0;
      case TBinaryOp::boLe: return c <= 0;
      case TBinaryOp::boGt: return c > 0;
      case TBinaryOp::boGe: return c >= 0;
      default: return false;
    }
  }

  TBinaryOp op_;
  TKind kind_;
  TExprNodePtr operands_[2];
};

class TLogicalChainNode : public TExprNode {
 public:
  TLogicalChainNode(bool is_and, std::vector<TExprNodePtr> operands, size_t pos)
      : TExprNode(TExprType::etLogical, pos), is_and_(is_and), operands_(std::move(operands)) {}
  void Eval(const TExprContext& ctx, TExprValue& out) const override {
    for (const TExprNodePtr& operand : operands_) {
      operand->Eval(ctx, out);
      if (out.logical != is_and_) return;  // a false .AND. or a true .OR. decides
    }
  }
  std::span<const TExprNodePtr> Children() const override { return operands_; }

 private:
  bool is_and_;
  std::vector<TExprNodePtr> operands_;
};

const char* OpText(TBinaryOp op) {
  switch (op) {
    case TBinaryOp::boAdd: return "+";
    case TBinaryOp::boSub: return "-";
    case TBinaryOp::boMul: return "*";
    case TBinaryOp::boDiv: return "/";
    case TBinaryOp::boMod: return "%";
    case TBinaryOp::boPow: return "^";
    case TBinaryOp::boEq: return "=";
    case TBinaryOp::boEqEq: return "==";
    case TBinaryOp::boNe: return "<>";
    case TBinaryOp::boLt: return "<";
    case TBinaryOp::boLe: return "<=";
    case TBinaryOp::boGt: return ">";
    case TBinaryOp::boGe: return ">=";
    case TBinaryOp::boIn: return "$";
    case TBinaryOp::boAnd: return ".AND.";
    case TBinaryOp::boOr: return ".OR.";
  }
  return "?";
}

}  // namespace

void CheckStringLength(size_t size) {
  if (size > kMaxStringLength)
    throw EExprError("String too long (" + std::to_string(size) + " characters, at most " +
                     std::to_string(kMaxStringLength) + ")");
}

int CompareStrings(std::string_view left, std::string_view right, bool exact) {
  auto byte = [](std::string_view s, size_t i) -> int {
    return i < s.size() ? static_cast<unsigned char>(s[i]) : ' ';
  };
  if (exact) {
    // Trailing blanks do not count: the shorter side is read as padded with blanks.
    size_t n = std::max(left.size(), right.size());
    for (size_t i = 0; i < n; ++i) {
      int d = byte(left, i) - byte(right, i);
      if (d != 0) return d;
    }
    return 0;
  }
  if (left.size() > right.size()) left = left.substr(0, right.size());
  size_t n = std::min(left.size(), right.size());
  for (size_t i = 0; i < n; ++i) {
    int d = static_cast<unsigned char>(left[i]) - static_cast<unsigned char>(right[i]);
    if (d != 0) return d;
  }
  return left.size() < right.size() ? -1 : 0;
}

TExprValue EvalNode(const TExprNode& node, const TExprContext& ctx) {
  TExprValue v;
  node.Eval(ctx, v);
  return v;
}

TExprNodePtr MakeLiteral(TExprValue value, size_t pos) {
  if (value.type == TExprType::etCharacter) CheckStringLength(value.text.size());
  return std::make_unique<TLiteralNode>(std::move(value), pos);
}

TExprNodePtr MakeFieldRef(const TFieldInfo& field, size_t pos) { return std::make_unique<TFieldNode>(field, pos); }

TExprNodePtr MakeNegate(TExprNodePtr operand, size_t pos) {
  if (operand->Type() != TExprType::etNumeric)
    throw EExprError("Type mismatch at position " + std::to_string(pos) + ": unary - of a " +
                     ExprTypeName(operand->Type()) + " value");
  return std::make_unique<TNegateNode>(std::move(operand), pos);
}

TExprNodePtr MakeNot(TExprNodePtr operand, size_t pos) {
  if (operand->Type() != TExprType::etLogical)
    throw EExprError("Type mismatch at position " + std::to_string(pos) + ": .NOT. of a " +
                     ExprTypeName(operand->Type()) + " value");
  return std::make_unique<TNotNode>(std::move(operand), pos);
}

TExprNodePtr MakeBinary(TBinaryOp op, TExprNodePtr left, TExprNodePtr right, size_t pos) {
  using K = TBinaryNode::TKind;
  const TExprType l = left->Type(), r = right->Type();
  const TExprType C = TExprType::etCharacter, N = TExprType::etNumeric, D = TExprType::etDate,
                  L = TExprType::etLogical;
  K kind;
  TExprType type;
  bool ok = true;
  switch (op) {
    case TBinaryOp::boAdd:
      if (l == C && r == C) kind = K::bkConcat, type = C;
      else if (l == N && r == N) kind = K::bkNumeric, type = N;
      else if (l == D && r == N) kind = K::bkDatePlus, type = D;
      else if (l == N && r == D) kind = K::bkNumberPlusDate, type = D;
      else ok = false;
      break;
    case TBinaryOp::boSub:
      if (l == C && r == C) kind = K::bkConcatTrim, type = C;
      else if (l == N && r == N) kind = K::bkNumeric, type = N;
      else if (l == D && r == N) kind = K::bkDateMinus, type = D;
      else if (l == D && r == D) kind = K::bkDateDiff, type = N;
      else ok = false;
      break;
    case TBinaryOp::boMul:
    case TBinaryOp::boDiv:
    case TBinaryOp::boMod:
    case TBinaryOp::boPow:
      ok = l == N && r == N;
      kind = K::bkNumeric, type = N;
      break;
    case TBinaryOp::boIn:
      ok = l == C && r == C;
      kind = K::bkContains, type = L;
      break;
    case TBinaryOp::boAnd:
    case TBinaryOp::boOr: {
      std::vector<TExprNodePtr> operands;
      operands.push_back(std::move(left));
      operands.push_back(std::move(right));
      return MakeLogicalChain(op, std::move(operands), pos);
    }
    default:  // comparisons
      ok = l == r;
      kind = K::bkCompare, type = L;
      break;
  }
  if (!ok)
    throw EExprError("Type mismatch at position " + std::to_string(pos) + ": " + ExprTypeName(l) + " " +
                     OpText(op) + " " + ExprTypeName(r));
  return std::make_unique<TBinaryNode>(op, kind, type, std::move(left), std::move(right), pos);
}

TExprNodePtr MakeLogicalChain(TBinaryOp op, std::vector<TExprNodePtr> operands, size_t pos) {
  for (const TExprNodePtr& operand : operands) {
    if (operand->Type() != TExprType::etLogical)
      throw EExprError("Type mismatch at position " + std::to_string(pos) + ": " + OpText(op) + " needs logical operands, not " +
                       ExprTypeName(operand->Type()));
  }
  return std::make_unique<TLogicalChainNode>(op == TBinaryOp::boAnd, std::move(operands), pos);
}

}  // namespace tavrik::xbase
