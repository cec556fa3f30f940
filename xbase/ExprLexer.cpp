#include "xbase/ExprLexer.h"

#include <charconv>

#include "xbase/ExprError.h"

namespace tavrik::xbase {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

std::string UpperWord(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Upper(c);
  return out;
}

// A dotted word such as .AND. starting at text[i] == '.'; returns its length, or 0.
size_t DottedWord(std::string_view text, size_t i, TToken& token) {
  size_t j = i + 1;
  while (j < text.size() && IsNameStart(text[j])) ++j;
  if (j == i + 1 || j >= text.size() || text[j] != '.') return 0;
  std::string word = UpperWord(text.substr(i + 1, j - i - 1));
  if (word == "T" || word == "Y") {
    token.kind = TTokenKind::tkLogical, token.logical = true;
  } else if (word == "F" || word == "N") {
    token.kind = TTokenKind::tkLogical, token.logical = false;
  } else if (word == "AND") {
    token.kind = TTokenKind::tkAnd;
  } else if (word == "OR") {
    token.kind = TTokenKind::tkOr;
  } else if (word == "NOT") {
    token.kind = TTokenKind::tkNot;
  } else {
    return 0;
  }
  return j - i + 1;
}

}  // namespace

std::vector<TToken> Tokenize(std::string_view text) {
  std::vector<TToken> tokens;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    TToken t;
    t.pos = i + 1;
    size_t len = 1;
    if (c == '"' || c == '\'' || c == '[') {
      char close = c == '[' ? ']' : c;
      size_t end = text.find(close, i + 1);
      if (end == std::string_view::npos)
        throw EExprError("Unterminated string at position " + std::to_string(t.pos));
      t.kind = TTokenKind::tkString;
      t.text = std::string(text.substr(i + 1, end - i - 1));
      len = end - i + 1;
    } else if (IsDigit(c) || (c == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
      size_t j = i;
      while (j < text.size() && IsDigit(text[j])) ++j;
      // A dot belongs to the number only when digits follow; "1.AND." stays 1 .AND.
      if (j + 1 < text.size() && text[j] == '.' && IsDigit(text[j + 1])) {
        ++j;
        while (j < text.size() && IsDigit(text[j])) ++j;
      }
      t.kind = TTokenKind::tkNumber;
      t.text = std::string(text.substr(i, j - i));
      // from_chars, unlike strtod, ignores the C locale's decimal separator.
      auto [ptr, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), t.number);
      if (ec != std::errc() || ptr != t.text.data() + t.text.size())
        throw EExprError("Number out of range at position " + std::to_string(t.pos));
      len = j - i;
    } else if (IsNameStart(c)) {
      size_t j = i;
      while (j < text.size() && IsNameChar(text[j])) ++j;
      t.kind = TTokenKind::tkName;
      t.text = UpperWord(text.substr(i, j - i));
      len = j - i;
    } else if (c == '.') {
      len = DottedWord(text, i, t);
      if (len == 0) throw EExprError("Syntax error at position " + std::to_string(t.pos) + ": unexpected '.'");
      t.text = std::string(text.substr(i, len));
    } else {
      char n = i + 1 < text.size() ? text[i + 1] : '\0';
      switch (c) {
        case '(': t.kind = TTokenKind::tkLParen; break;
        case ')': t.kind = TTokenKind::tkRParen; break;
        case ',': t.kind = TTokenKind::tkComma; break;
        case '+': t.kind = TTokenKind::tkPlus; break;
        case '-':
          if (n == '>') t.kind = TTokenKind::tkArrow, len = 2;
          else t.kind = TTokenKind::tkMinus;
          break;
        case '*':
          if (n == '*') t.kind = TTokenKind::tkPower, len = 2;
          else t.kind = TTokenKind::tkStar;
          break;
        case '/': t.kind = TTokenKind::tkSlash; break;
        case '%': t.kind = TTokenKind::tkPercent; break;
        case '^': t.kind = TTokenKind::tkPower; break;
        case '$': t.kind = TTokenKind::tkDollar; break;
        case '#': t.kind = TTokenKind::tkNe; break;
        case '=':
          if (n == '=') t.kind = TTokenKind::tkEqEq, len = 2;
          else t.kind = TTokenKind::tkEq;
          break;
        case '!':
          if (n == '=') t.kind = TTokenKind::tkNe, len = 2;
          else t.kind = TTokenKind::tkNot;
          break;
        case '<':
          if (n == '=') t.kind = TTokenKind::tkLe, len = 2;
          else if (n == '>') t.kind = TTokenKind::tkNe, len = 2;
          else t.kind = TTokenKind::tkLt;
          break;
        case '>':
          if (n == '=') t.kind = TTokenKind::tkGe, len = 2;
          else t.kind = TTokenKind::tkGt;
          break;
        default: {
          unsigned char u = static_cast<unsigned char>(c);
          // Built by appending: GCC 12 warns (-Wrestrict) about the temporaries of "'" + ... + "'".
          std::string shown;
          if (u >= 32 && u < 127) {
            shown = "'";
            shown += c;
            shown += '\'';
          } else {
            shown = "character " + std::to_string(u);
          }
          throw EExprError("Syntax error at position " + std::to_string(t.pos) + ": unexpected " + shown);
        }
      }
      t.text = std::string(text.substr(i, len));
    }
    tokens.push_back(std::move(t));
    i += len;
  }
  TToken end;
  end.kind = TTokenKind::tkEnd;
  end.pos = text.size() + 1;
  tokens.push_back(end);
  return tokens;
}

std::string DescribeToken(const TToken& token) {
  switch (token.kind) {
    case TTokenKind::tkEnd: return "end of expression";
    case TTokenKind::tkName: return "name " + token.text;
    case TTokenKind::tkString: return "string \"" + token.text + "\"";
    case TTokenKind::tkNumber: return "number " + token.text;
    default: return "'" + token.text + "'";
  }
}

}  // namespace tavrik::xbase
