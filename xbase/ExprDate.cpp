#include "xbase/ExprDate.h"

#include <ctime>

#include "xbase/XbDate.h"

namespace tavrik::xbase {

int32_t MaxDayNumber() { return DateToDayNumber({9999, 12, 31}); }

int32_t DayFromDtos(std::string_view text) { return DateToDayNumber(ParseDtos(text).value_or(TXbDate{})); }

std::string DayToDtos(int32_t day) { return Dtos(DayNumberToDate(day)); }

std::string DayToDtoc(int32_t day, const TEngineSettings& settings) {
  return FormatDate(DayNumberToDate(day), settings);
}

int32_t DayFromCtod(std::string_view text, const TEngineSettings& settings) {
  return DateToDayNumber(ParseDate(text, settings).value_or(TXbDate{}));
}

void DayToYmd(int32_t day, int& year, int& month, int& dom) {
  TXbDate d = DayNumberToDate(day);
  year = d.year, month = d.month, dom = d.day;
}

int32_t Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return DateToDayNumber({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday});
}

}  // namespace tavrik::xbase
