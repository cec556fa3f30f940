#include "xbase/ExprValue.h"

#include <charconv>

namespace tavrik::xbase {

const char* ExprTypeName(TExprType type) {
  switch (type) {
    case TExprType::etCharacter: return "character";
    case TExprType::etNumeric: return "numeric";
    case TExprType::etLogical: return "logical";
    case TExprType::etDate: return "date";
  }
  return "unknown";
}

char ExprTypeLetter(TExprType type) {
  switch (type) {
    case TExprType::etCharacter: return 'C';
    case TExprType::etNumeric: return 'N';
    case TExprType::etLogical: return 'L';
    case TExprType::etDate: return 'D';
  }
  return '?';
}

}  // namespace tavrik::xbase

namespace tavrik::xbase {

double TextToNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits_from = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  }
  std::string_view number = text.substr(digits_from, i - digits_from);
  if (number.empty() || number == ".") return 0;
  // from_chars, unlike strtod, ignores the C locale's decimal separator.
  double value = 0;
  std::from_chars(number.data(), number.data() + number.size(), value);
  return text[start] == '-' ? -value : value;
}

}  // namespace tavrik::xbase
