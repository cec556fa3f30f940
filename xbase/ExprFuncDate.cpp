// The date functions of the expression language.
#include "xbase/ExprDate.h"
#include "xbase/ExprFunctions.h"

namespace tavrik::xbase {

namespace {

int Eight(TExprArgs, const TExprContext&) { return 8; }
int DtocLength(TExprArgs, const TExprContext& fields) { return fields.Settings().century ? 10 : 8; }

void Dtos(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  int32_t d = EvalNode(*a[0], ctx).date;
  out = TExprValue::Character(DayToDtos(d));
}

void Dtoc(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  int32_t d = EvalNode(*a[0], ctx).date;
  out = TExprValue::Character(DayToDtoc(d, ctx.Settings()));
}

void Ctod(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  int32_t d = DayFromCtod(EvalNode(*a[0], ctx).text, ctx.Settings());
  out = TExprValue::Date(d);
}

void Stod(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  int32_t d = DayFromDtos(EvalNode(*a[0], ctx).text);
  out = TExprValue::Date(d);
}

void DateFn(TExprArgs, const TExprContext&, TExprValue& out) { out = TExprValue::Date(Today()); }

template <int Part>
void DatePart(TExprArgs a, const TExprContext& ctx, TExprValue& out) {
  int ymd[3];
  DayToYmd(EvalNode(*a[0], ctx).date, ymd[0], ymd[1], ymd[2]);  // the blank date gives 0s
  out = TExprValue::Numeric(ymd[Part]);
}

}  // namespace

const TFunctionDef kDateFunctions[] = {
    {"DTOS", 1, 1, "D", 'C', Eight, Dtos},
    {"DTOC", 1, 1, "D", 'C', DtocLength, Dtoc},
    {"CTOD", 1, 1, "C", 'D', nullptr, Ctod},
    {"STOD", 1, 1, "C", 'D', nullptr, Stod},
    {"DATE", 0, 0, "", 'D', nullptr, DateFn},
    {"YEAR", 1, 1, "D", 'N', nullptr, DatePart<0>},
    {"MONTH", 1, 1, "D", 'N', nullptr, DatePart<1>},
    {"DAY", 1, 1, "D", 'N', nullptr, DatePart<2>},
    {nullptr, 0, 0, nullptr, 0, nullptr, nullptr},
};

}  // namespace tavrik::xbase
