// The character functions of the expression language.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/StrUtils.h"
#include "xbase/ExprError.h"
#include "xbase/ExprFunctions.h"

namespace tavrik::xbase {

namespace {

int Len0(TExprArgs a, const TExprContext&) { return a[0]->length; }

// LEFT/RIGHT/SUBSTR: at most the constant count, never more than the source.
int CountLimited(TExprArgs a, size_t count_arg) {
  double n;
  if (a.size() <= count_arg || !ConstantNumber(*a[count_arg], n)) return a[0]->length;
  int c = static_cast<int>(std::clamp<long long>(CountArg(n), 0, static_cast<long long>(kMaxStringLength)));
  return a[0]->length < 0 ? c : std::min(c, a[0]->length);
}

int ConstantCount(const TExprNode& node) {
  double n;
  if (!ConstantNumber(node, n)) return -1;
  return static_cast<int>(std::clamp<long long>(CountArg(n), 0, static_cast<long long>(kMaxStringLength)));
}

void Upper(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  a[0]->Eval(ctx, out);
  for (char& c : out.text) c = UpperChar(c);
}

void Lower(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  a[0]->Eval(ctx, out);
  for (char& c : out.text) c = LowerChar(c);
}

void RTrimText(std::string& s) { s.resize(WithoutTrailingBlanks(s).size()); }

void LTrimText(std::string& s) {
  size_t n = s.find_first_not_of(' ');
  s.erase(0, n == std::string::npos ? s.size() : n);
}

void RTrim(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  a[0]->Eval(ctx, out);
  RTrimText(out.text);
}

void LTrim(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  a[0]->Eval(ctx, out);
  LTrimText(out.text);
}

void AllTrim(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  a[0]->Eval(ctx, out);
  RTrimText(out.text);
  LTrimText(out.text);
}

void Left(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  long long n = CountArg(EvalNode(*a[1], ctx).number);
  a[0]->Eval(ctx, out);
  out.text.resize(static_cast<size_t>(std::clamp<long long>(n, 0, static_cast<long long>(out.text.size()))));
}

void Right(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  long long n = CountArg(EvalNode(*a[1], ctx).number);
  a[0]->Eval(ctx, out);
  size_t keep = static_cast<size_t>(std::clamp<long long>(n, 0, static_cast<long long>(out.text.size())));
  out.text.erase(0, out.text.size() - keep);
}

void Substr(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  long long start = CountArg(EvalNode(*a[1], ctx).number);
  long long count = a.size() > 2 ? CountArg(EvalNode(*a[2], ctx).number) : -1;
  a[0]->Eval(ctx, out);
  long long size = static_cast<long long>(out.text.size());
  // A negative start counts from the end; 0 reads as 1.
  long long from = start > 0 ? start - 1 : start < 0 ? std::max(0LL, size + start) : 0;
  if (from >= size || (a.size() > 2 && count <= 0)) {
    out.text.clear();
    return;
  }
  long long take = a.size() > 2 ? std::min(count, size - from) : size - from;
  out.text = out.text.substr(static_cast<size_t>(from), static_cast<size_t>(take));
}

std::string FormatNumber(double value, int width, int decimals) {
  decimals = std::clamp(decimals, 0, std::max(0, width - 2));
  char buf[400];
  double r = RoundHalfAway(value, decimals);
  if (std::fabs(r) >= 1e300) return std::string(static_cast<size_t>(width), '*');
  std::snprintf(buf, sizeof buf, "%.*f", decimals, r);
  std::string text = buf;
  if (text.size() > static_cast<size_t>(width)) return std::string(static_cast<size_t>(width), '*');
  return std::string(static_cast<size_t>(width) - text.size(), ' ') + text;
}

constexpr int kMaxStrWidth = 255;

int StrLength(TExprArgs a, const TExprContext&) {
  if (a.size() < 2) return a[0]->num_width > 0 ? a[0]->num_width : 10;
  double n;
  if (!ConstantNumber(*a[1], n)) return -1;
  return static_cast<int>(std::clamp<long long>(CountArg(n), 1, kMaxStrWidth));
}

void Str(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  double value = EvalNode(*a[0], ctx).number;
  long long width = 10, decimals = 0;
  if (a.size() < 2) {
    if (a[0]->num_width > 0) width = a[0]->num_width, decimals = std::max(0, a[0]->num_decimals);
  } else {
    width = CountArg(EvalNode(*a[1], ctx).number);
    if (a.size() > 2) decimals = CountArg(EvalNode(*a[2], ctx).number);
  }
  if (width < 1 || width > kMaxStrWidth)
    throw EExprError("Argument 2 of STR is out of range (1 to " + std::to_string(kMaxStrWidth) + ")");
  if (decimals < 0) decimals = 0;
  out = TExprValue::Character(FormatNumber(value, static_cast<int>(width), static_cast<int>(decimals)));
}

void Val(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  double v = TextToNumber(EvalNode(*a[0], ctx).text);
  out = TExprValue::Numeric(v);
}

void Len(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  size_t n = EvalNode(*a[0], ctx).text.size();
  out = TExprValue::Numeric(static_cast<double>(n));
}

int SpaceLength(TExprArgs a, const TExprContext&) { return ConstantCount(*a[0]); }

void Space(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  long long n = std::max(0LL, CountArg(EvalNode(*a[0], ctx).number));
  CheckStringLength(static_cast<size_t>(n));
  out = TExprValue::Character(std::string(static_cast<size_t>(n), ' '));
}

int ReplicateLength(TExprArgs a, const TExprContext&) {
  int n = ConstantCount(*a[1]);
  if (n < 0 || a[0]->length < 0) return -1;
  long long total = static_cast<long long>(n) * a[0]->length;
  return total > static_cast<long long>(kMaxStringLength) ? -1 : static_cast<int>(total);
}

void Replicate(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  long long n = std::max(0LL, CountArg(EvalNode(*a[1], ctx).number));
  std::string unit = EvalNode(*a[0], ctx).text;
  CheckStringLength(static_cast<size_t>(n) * unit.size());
  std::string text;
  text.reserve(static_cast<size_t>(n) * unit.size());
  for (long long i = 0; i < n; ++i) text += unit;
  out = TExprValue::Character(std::move(text));
}

void At(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  std::string needle = EvalNode(*a[0], ctx).text;
  std::string hay = EvalNode(*a[1], ctx).text;
  size_t p = needle.empty() ? std::string::npos : hay.find(needle);
  out = TExprValue::Numeric(p == std::string::npos ? 0.0 : static_cast<double>(p + 1));
}

int PadLength(TExprArgs a, const TExprContext&) { return ConstantCount(*a[1]); }

void Pad(TExprArgs a, const TExprContext& ctx, TExprValue& out, bool left) {
  long long n = std::max(0LL, CountArg(EvalNode(*a[1], ctx).number));
  CheckStringLength(static_cast<size_t>(n));
  char fill = ' ';
  if (a.size() > 2) {
    std::string f = EvalNode(*a[2], ctx).text;
    if (!f.empty()) fill = f[0];
  }
  a[0]->Eval(ctx, out);
  size_t width = static_cast<size_t>(n);
  // A longer text keeps its first `width` characters either way.
  if (out.text.size() >= width) {
    out.text.resize(width);
  } else if (left) {
    out.text.insert(0, width - out.text.size(), fill);
  } else {
    out.text.append(width - out.text.size(), fill);
  }
}

void PadL(TExprArgs a, const TExprContext& ctx, TExprValue& out) { Pad(a, ctx, out, true); }
void PadR(TExprArgs a, const TExprContext& ctx, TExprValue& out) { Pad(a, ctx, out, false); }

int One(TExprArgs, const TExprContext&) { return 1; }

void Chr(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  long long code = CountArg(EvalNode(*a[0], ctx).number);
  out = TExprValue::Character(std::string(1, static_cast<char>(static_cast<unsigned char>(code & 0xFF))));
}

void Asc(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  std::string s = EvalNode(*a[0], ctx).text;
  out = TExprValue::Numeric(s.empty() ? 0.0 : static_cast<double>(static_cast<unsigned char>(s[0])));
}

int Left1(TExprArgs a, const TExprContext&) { return CountLimited(a, 1); }
int Substr2(TExprArgs a, const TExprContext&) { return CountLimited(a, 2); }

}  // namespace

const TFunctionDef kStringFunctions[] = {
    {"UPPER", 1, 1, "C", 'C', Len0, Upper},
    {"LOWER", 1, 1, "C", 'C', Len0, Lower},
    {"TRIM", 1, 1, "C", 'C', Len0, RTrim},
    {"RTRIM", 1, 1, "C", 'C', Len0, RTrim},
    {"LTRIM", 1, 1, "C", 'C', Len0, LTrim},
    {"ALLTRIM", 1, 1, "C", 'C', Len0, AllTrim},
    {"LEFT", 2, 2, "CN", 'C', Left1, Left},
    {"RIGHT", 2, 2, "CN", 'C', Left1, Right},
    {"SUBSTR", 2, 3, "CNN", 'C', Substr2, Substr},
    {"STR", 1, 3, "NNN", 'C', StrLength, Str},
    {"VAL", 1, 1, "C", 'N', nullptr, Val},
    {"LEN", 1, 1, "C", 'N', nullptr, Len},
    {"SPACE", 1, 1, "N", 'C', SpaceLength, Space},
    {"REPLICATE", 2, 2, "CN", 'C', ReplicateLength, Replicate},
    {"AT", 2, 2, "CC", 'N', nullptr, At},
    {"PADL", 2, 3, "CNC", 'C', PadLength, PadL},
    {"PADR", 2, 3, "CNC", 'C', PadLength, PadR},
    {"CHR", 1, 1, "N", 'C', One, Chr},
    {"ASC", 1, 1, "C", 'N', nullptr, Asc},
    {nullptr, 0, 0, nullptr, 0, nullptr, nullptr},
};

}  // namespace tavrik::xbase
