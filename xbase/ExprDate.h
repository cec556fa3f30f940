// Dates as the expression language holds them: day numbers of the engine's calendar (1 January
// of year 1 is day 1; 0 is the blank date, which sorts before every real date), converted to and
// from the record form "yyyymmdd" and the shown form of DTOC/CTOD (DateFormat, Century, Epoch).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "xbase/Settings.h"

namespace tavrik::xbase {

constexpr int32_t kBlankDate = 0;

// Largest day number (31 December 9999); the smallest is 1.
int32_t MaxDayNumber();

// "yyyymmdd" -> day number; blanks or anything that is not a valid date give kBlankDate.
int32_t DayFromDtos(std::string_view text);
// Day number -> "yyyymmdd"; the blank date gives eight blanks.
std::string DayToDtos(int32_t day);
// The shown form under the settings; the blank date keeps the separators ("  /  /    ").
std::string DayToDtoc(int32_t day, const TEngineSettings& settings);
// Reads a shown form; two-digit years are placed by Epoch; text that is no valid date gives
// kBlankDate.
int32_t DayFromCtod(std::string_view text, const TEngineSettings& settings);
// Year, month and day of a day number; all 0 for the blank date.
void DayToYmd(int32_t day, int& year, int& month, int& dom);
// Today, in local time.
int32_t Today();

}  // namespace tavrik::xbase
