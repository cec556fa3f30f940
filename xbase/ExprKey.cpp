#include "xbase/ExprKey.h"

#include <cstring>

#include "xbase/ExprDate.h"
#include "xbase/ExprError.h"

namespace tavrik::xbase {

namespace {

size_t KeyLengthOf(const TExpression& expr) {
  switch (expr.Type()) {
    case TExprType::etNumeric: return 8;
    case TExprType::etDate: return 8;
    case TExprType::etLogical: return 1;
    case TExprType::etCharacter: break;
  }
  int length = expr.Length();
  if (length < 0) throw EExprError("Key length cannot be determined before evaluation: " + expr.Text());
  if (length == 0 || static_cast<size_t>(length) > kMaxKeyLength)
    throw EExprError("Key length " + std::to_string(length) + " is out of range (1 to " +
                     std::to_string(kMaxKeyLength) + "): " + expr.Text());
  return static_cast<size_t>(length);
}

}  // namespace

std::string EncodeNumberKey(double value) {
  value += 0.0;  // -0 and 0 make the same key
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = (bits >> 63) ? ~bits : bits | (uint64_t{1} << 63);
  std::string key(8, '\0');
  for (int i = 7; i >= 0; --i, bits >>= 8) key[static_cast<size_t>(i)] = static_cast<char>(bits & 0xFF);
  return key;
}

double DecodeNumberKey(std::string_view key) {
  uint64_t bits = 0;
  for (size_t i = 0; i < 8 && i < key.size(); ++i) bits = (bits << 8) | static_cast<unsigned char>(key[i]);
  bits = (bits >> 63) ? bits & ~(uint64_t{1} << 63) : ~bits;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

TKeyExpression::TKeyExpression(std::string_view text, const TExprContext& fields)
    : expr_(text, fields), length_(KeyLengthOf(expr_)) {}

std::string TKeyExpression::KeyOfValue(const TExprValue& value) const {
  switch (value.type) {
    case TExprType::etCharacter: {
      std::string key = value.text.substr(0, length_);
      key.resize(length_, ' ');
      return key;
    }
    case TExprType::etNumeric: return EncodeNumberKey(value.number);
    case TExprType::etDate: return DayToDtos(value.date);
    case TExprType::etLogical: return value.logical ? "T" : "F";
  }
  return std::string(length_, ' ');
}

std::string TKeyExpression::KeyOf(const TExprContext& ctx) const { return KeyOfValue(expr_.Evaluate(ctx)); }

std::string TKeyExpression::KeyFromText(std::string_view text) const {
  switch (Type()) {
    case TExprType::etNumeric: return EncodeNumberKey(TextToNumber(text));
    case TExprType::etLogical: {
      size_t i = text.find_first_not_of(" .");
      char c = i == std::string_view::npos ? 'F' : text[i];
      return c == 'T' || c == 't' || c == 'Y' || c == 'y' ? "T" : "F";
    }
    case TExprType::etCharacter:
    case TExprType::etDate: break;
  }
  return std::string(text.substr(0, length_));
}

std::string TKeyExpression::KeyField() const {
  const TExprNode* node = &expr_.Root();
  if (node->FunctionName() == "UPPER") node = node->Children()[0].get();
  const TFieldInfo* field = node->Field();
  return field ? field->name : std::string();
}

}  // namespace tavrik::xbase
