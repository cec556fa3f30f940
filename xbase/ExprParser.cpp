#include "xbase/ExprParser.h"

#include <algorithm>

#include "xbase/ExprError.h"
#include "xbase/ExprFunctions.h"
#include "xbase/ExprLexer.h"

namespace tavrik::xbase {

namespace {

class TParser {
 public:
  TParser(std::vector<TToken> tokens, const TExprContext& fields) : tokens_(std::move(tokens)), fields_(fields) {}

  TExprNodePtr Parse() {
    TExprNodePtr node = ParseOr();
    if (Peek().kind != TTokenKind::tkEnd) Unexpected(Peek());
    return node;
  }

 private:
  // Counts recursion through unary operators, parentheses and calls, so that "((((..." or
  // "------1" fails with a message before the stack runs out.
  class TDepth {
   public:
    explicit TDepth(TParser& p) : p_(p) {
      if (++p_.depth_ > kMaxExprDepth) throw EExprError("Expression nested too deeply");
    }
    ~TDepth() { --p_.depth_; }

   private:
    TParser& p_;
  };

  const TToken& Peek() const { return tokens_[pos_]; }
  const TToken& Take() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }

  [[noreturn]] static void Unexpected(const TToken& t) {
    throw EExprError("Syntax error at position " + std::to_string(t.pos) + ": unexpected " + DescribeToken(t));
  }

  void Expect(TTokenKind kind, const char* what) {
    if (Peek().kind != kind)
      throw EExprError("Syntax error at position " + std::to_string(Peek().pos) + ": expected " + what + ", found " +
                       DescribeToken(Peek()));
    Take();
  }

  // Sets the node's height and refuses trees too deep to evaluate safely.
  static TExprNodePtr Finish(TExprNodePtr node) {
    int h = 0;
    for (const TExprNodePtr& child : node->Children()) h = std::max(h, child->height);
    node->height = h + 1;
    if (node->height > kMaxExprDepth) throw EExprError("Expression nested too deeply");
    return node;
  }

  // .OR. and .AND. chains become one node each, so a long list of alternatives does not make
  // the tree deep.
  TExprNodePtr ParseOr() { return ParseChain(TTokenKind::tkOr, TBinaryOp::boOr, &TParser::ParseAnd); }
  TExprNodePtr ParseAnd() { return ParseChain(TTokenKind::tkAnd, TBinaryOp::boAnd, &TParser::ParseNot); }

  TExprNodePtr ParseChain(TTokenKind token, TBinaryOp op, TExprNodePtr (TParser::*operand)()) {
    TExprNodePtr first = (this->*operand)();
    if (Peek().kind != token) return first;
    size_t pos = Peek().pos;
    std::vector<TExprNodePtr> operands;
    operands.push_back(std::move(first));
    while (Peek().kind == token) {
      Take();
      operands.push_back((this->*operand)());
    }
    return Finish(MakeLogicalChain(op, std::move(operands), pos));
  }

  TExprNodePtr ParseNot() {
    if (Peek().kind == TTokenKind::tkNot) {
      TDepth depth(*this);
      size_t pos = Take().pos;
      return Finish(MakeNot(ParseNot(), pos));
    }
    return ParseRelation();
  }

  static bool RelationOp(TTokenKind kind, TBinaryOp& op) {
    switch (kind) {
      case TTokenKind::tkEq: op = TBinaryOp::boEq; return true;
      case TTokenKind::tkEqEq: op = TBinaryOp::boEqEq; return true;
      case TTokenKind::tkNe: op = TBinaryOp::boNe; return true;
      case TTokenKind::tkLt: op = TBinaryOp::boLt; return true;
      case TTokenKind::tkLe: op = TBinaryOp::boLe; return true;
      case TTokenKind::tkGt: op = TBinaryOp::boGt; return true;
      case TTokenKind::tkGe: op = TBinaryOp::boGe; return true;
      case TTokenKind::tkDollar: op = TBinaryOp::boIn; return true;
      default: return false;
    }
  }

  TExprNodePtr ParseRelation() {
    TExprNodePtr left = ParseAdditive();
    TBinaryOp op;
    while (RelationOp(Peek().kind, op)) {
      size_t pos = Take().pos;
      left = Finish(MakeBinary(op, std::move(left), ParseAdditive(), pos));
    }
    return left;
  }

  TExprNodePtr ParseAdditive() {
    TExprNodePtr left = ParseMultiplicative();
    while (Peek().kind == TTokenKind::tkPlus || Peek().kind == TTokenKind::tkMinus) {
      TBinaryOp op = Peek().kind == TTokenKind::tkPlus ? TBinaryOp::boAdd : TBinaryOp::boSub;
      size_t pos = Take().pos;
      left = Finish(MakeBinary(op, std::move(left), ParseMultiplicative(), pos));
    }
    return left;
  }

  TExprNodePtr ParseMultiplicative() {
    TExprNodePtr left = ParsePower();
    for (;;) {
      TBinaryOp op;
      switch (Peek().kind) {
        case TTokenKind::tkStar: op = TBinaryOp::boMul; break;
        case TTokenKind::tkSlash: op = TBinaryOp::boDiv; break;
        case TTokenKind::tkPercent: op = TBinaryOp::boMod; break;
        default: return left;
      }
      size_t pos = Take().pos;
      left = Finish(MakeBinary(op, std::move(left), ParsePower(), pos));
    }
  }

  TExprNodePtr ParsePower() {
    TExprNodePtr left = ParseUnary();
    while (Peek().kind == TTokenKind::tkPower) {
      size_t pos = Take().pos;
      left = Finish(MakeBinary(TBinaryOp::boPow, std::move(left), ParseUnary(), pos));
    }
    return left;
  }

  TExprNodePtr ParseUnary() {
    TTokenKind kind = Peek().kind;
    if (kind != TTokenKind::tkMinus && kind != TTokenKind::tkPlus) return ParsePrimary();
    TDepth depth(*this);
    size_t pos = Take().pos;
    TExprNodePtr operand = ParseUnary();
    if (operand->Type() != TExprType::etNumeric)
      throw EExprError("Type mismatch at position " + std::to_string(pos) + ": unary " + (kind == TTokenKind::tkMinus ? "-" : "+") +
                       " of a " + ExprTypeName(operand->Type()) + " value");
    if (kind == TTokenKind::tkPlus) return operand;
    // A negative literal stays a literal, so LEFT(X, -1) and the like still count as constant.
    if (const TExprValue* c = operand->Constant()) return MakeLiteral(TExprValue::Numeric(-c->number), pos);
    return Finish(MakeNegate(std::move(operand), pos));
  }

  TExprNodePtr ParsePrimary() {
    const TToken& t = Take();
    switch (t.kind) {
      case TTokenKind::tkNumber: return MakeLiteral(TExprValue::Numeric(t.number), t.pos);
      case TTokenKind::tkString: return MakeLiteral(TExprValue::Character(t.text), t.pos);
      case TTokenKind::tkLogical: return MakeLiteral(TExprValue::Logical(t.logical), t.pos);
      case TTokenKind::tkLParen: {
        TDepth depth(*this);
        TExprNodePtr inner = ParseOr();
        Expect(TTokenKind::tkRParen, "')'");
        return inner;
      }
      case TTokenKind::tkName: return ParseName(t);
      default: Unexpected(t);
    }
  }

  TExprNodePtr ParseName(const TToken& name) {
    if (Peek().kind == TTokenKind::tkLParen) return ParseCall(name);
    if (Peek().kind == TTokenKind::tkArrow) {
      Take();
      const TToken& field = Take();
      if (field.kind != TTokenKind::tkName)
        throw EExprError("Syntax error at position " + std::to_string(field.pos) + ": expected a field name after ->");
      if (name.text != "FIELD" && name.text != "_FIELD")
        throw EExprError("Alias references are not supported: " + name.text + "->" + field.text);
      return FieldRef(field);
    }
    return FieldRef(name);
  }

  TExprNodePtr FieldRef(const TToken& name) {
    int index = fields_.FieldIndex(name.text);
    if (index < 0) throw EExprError("Unknown field: " + name.text);
    return MakeFieldRef(fields_.Field(index), name.pos);
  }

  TExprNodePtr ParseCall(const TToken& name) {
    TDepth depth(*this);
    const TFunctionDef* def = FindFunction(name.text);
    if (!def) throw EExprError("Unknown function: " + name.text);
    Take();  // (
    std::vector<TExprNodePtr> args;
    if (Peek().kind != TTokenKind::tkRParen) {
      for (;;) {
        args.push_back(ParseOr());
        if (Peek().kind != TTokenKind::tkComma) break;
        Take();
      }
    }
    Expect(TTokenKind::tkRParen, "')' or ','");
    return Finish(MakeCall(*def, std::move(args), name.pos, fields_));
  }

  std::vector<TToken> tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
  const TExprContext& fields_;
};

}  // namespace

TExprNodePtr ParseExpression(std::string_view text, const TExprContext& fields) {
  if (text.size() > kMaxExpressionLength)
    throw EExprError("Expression too long (" + std::to_string(text.size()) + " characters, at most " +
                     std::to_string(kMaxExpressionLength) + ")");
  std::vector<TToken> tokens = Tokenize(text);
  if (tokens.size() == 1) throw EExprError("Empty expression");
  return TParser(std::move(tokens), fields).Parse();
}

}  // namespace tavrik::xbase
