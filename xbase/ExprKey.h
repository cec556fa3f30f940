// The key of an order: an expression whose value is turned into a fixed-length byte string that
// sorts, byte by byte, the way the values do:
//   character  the text, blank-padded (or cut) to the key length;
//   numeric    8 bytes: the IEEE double, big-endian, sign bit flipped for positives and every
//              bit flipped for negatives;
//   date       "yyyymmdd", eight blanks for the blank date (so it sorts first);
//   logical    "T" or "F".
#pragma once

#include <string>
#include <string_view>

#include "xbase/Expr.h"

namespace tavrik::xbase {

constexpr size_t kMaxKeyLength = 240;

class TKeyExpression {
 public:
  // Compiles `text` against `fields`; raises EExprError when it does not compile or when its key
  // length is 0, above kMaxKeyLength, or cannot be known before evaluation.
  TKeyExpression(std::string_view text, const TExprContext& fields);

  const TExpression& Expression() const { return expr_; }
  const std::string& Text() const { return expr_.Text(); }
  TExprType Type() const { return expr_.Type(); }
  size_t Length() const { return length_; }

  // The key of the context's current record: exactly Length() bytes.
  std::string KeyOf(const TExprContext& ctx) const;
  std::string KeyOfValue(const TExprValue& value) const;

  // The key bytes that a seek or scope text stands for. Character and date keys take the text
  // as it is (cut to Length()); a shorter text is a prefix. Numeric keys read the text as a number
  // and logical keys read T/Y/.T. as true; both always give the full key.
  std::string KeyFromText(std::string_view text) const;
  // Whether a text shorter than the key may match a prefix of it.
  bool AllowsPartial() const {
    return Type() == TExprType::etCharacter || Type() == TExprType::etDate;
  }

  // The field the key is made of, when the key is a plain field or UPPER(field); else "".
  std::string KeyField() const;

 private:
  TExpression expr_;
  size_t length_;
};

// The 8-byte order-preserving form of a number.
std::string EncodeNumberKey(double value);
double DecodeNumberKey(std::string_view key);

}  // namespace tavrik::xbase
