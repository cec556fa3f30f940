#include "xbase/ExprFunctions.h"

#include <cmath>
#include <cstring>

#include "xbase/ExprError.h"

namespace tavrik::xbase {

namespace {

class TCallNode : public TExprNode {
 public:
  TCallNode(const TFunctionDef& def, TExprType type, std::vector<TExprNodePtr> args, size_t pos)
      : TExprNode(type, pos), def_(def), args_(std::move(args)) {}
  void Eval(const TExprContext& ctx, TExprValue& out) const override { def_.eval(args_, ctx, out); }
  std::string FunctionName() const override { return def_.name; }
  std::span<const TExprNodePtr> Children() const override { return args_; }

 private:
  const TFunctionDef& def_;
  std::vector<TExprNodePtr> args_;
};

TExprType TypeOfLetter(char c) {
  switch (c) {
    case 'C': return TExprType::etCharacter;
    case 'N': return TExprType::etNumeric;
    case 'D': return TExprType::etDate;
    default: return TExprType::etLogical;
  }
}

std::string ArgumentCountText(const TFunctionDef& def) {
  auto plural = [](int n) { return std::to_string(n) + (n == 1 ? " argument" : " arguments"); };
  if (def.min_args == def.max_args) return plural(def.min_args);
  return std::to_string(def.min_args) + " to " + plural(def.max_args);
}

const TFunctionDef* const kFamilies[] = {kStringFunctions, kNumericFunctions, kDateFunctions, kOtherFunctions};

}  // namespace

const TFunctionDef* FindFunction(std::string_view upper_name) {
  const TFunctionDef* abbreviated = nullptr;
  int candidates = 0;
  for (const TFunctionDef* family : kFamilies) {
    for (const TFunctionDef* def = family; def->name; ++def) {
      std::string_view name = def->name;
      if (name == upper_name) return def;
      if (upper_name.size() >= 4 && name.substr(0, upper_name.size()) == upper_name) {
        abbreviated = def;
        ++candidates;
      }
    }
  }
  return candidates == 1 ? abbreviated : nullptr;
}

TExprNodePtr MakeCall(const TFunctionDef& def, std::vector<TExprNodePtr> args, size_t pos,
                      const TExprContext& fields) {
  int count = static_cast<int>(args.size());
  if (count < def.min_args || count > def.max_args)
    throw EExprError(std::string(def.name) + " expects " + ArgumentCountText(def) + ", " + std::to_string(count) +
                     " given");
  for (int i = 0; i < count; ++i) {
    char letter = def.arg_types[i];
    TExprType actual = args[i]->Type();
    if (letter == '*') continue;
    TExprType wanted = letter == '=' ? args[i - 1]->Type() : TypeOfLetter(letter);
    if (actual != wanted) {
      std::string msg = "Argument " + std::to_string(i + 1) + " of " + def.name + " must be " + ExprTypeName(wanted);
      if (letter == '=') msg += " like argument " + std::to_string(i);
      throw EExprError(msg + ", not " + ExprTypeName(actual));
    }
  }
  TExprType type = def.result >= '1' && def.result <= '9' ? args[static_cast<size_t>(def.result - '1')]->Type()
                                                          : TypeOfLetter(def.result);
  int length = -1;
  if (type == TExprType::etCharacter && def.length) length = def.length(args, fields);
  auto node = std::make_unique<TCallNode>(def, type, std::move(args), pos);
  node->length = length;
  return node;
}

bool ConstantNumber(const TExprNode& node, double& value) {
  const TExprValue* c = node.Constant();
  if (!c || c->type != TExprType::etNumeric) return false;
  value = c->number;
  return true;
}

long long CountArg(double value) {
  if (!(value > -1e9)) return -1000000000LL;
  if (!(value < 1e9)) return 1000000000LL;
  return static_cast<long long>(std::trunc(value));
}

char UpperChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  // Windows-1252: à..þ fold to À..Þ (not ÷), and the four letters of the 0x80 row.
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 32);
  switch (u) {
    case 0x9A: return static_cast<char>(0x8A);
    case 0x9C: return static_cast<char>(0x8C);
    case 0x9E: return static_cast<char>(0x8E);
    case 0xFF: return static_cast<char>(0x9F);
    default: return c;
  }
}

char LowerChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 32);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char>(u + 32);
  switch (u) {
    case 0x8A: return static_cast<char>(0x9A);
    case 0x8C: return static_cast<char>(0x9C);
    case 0x8E: return static_cast<char>(0x9E);
    case 0x9F: return static_cast<char>(0xFF);
    default: return c;
  }
}

}  // namespace tavrik::xbase
