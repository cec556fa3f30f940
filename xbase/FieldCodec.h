// The stored text of each field type and conversions between it and values. Writing a value
// that the field cannot hold raises ETableError; reading never fails on a field's text
// (unreadable numbers read as 0, as xBase's VAL does).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "xbase/ExprContext.h"
#include "xbase/Settings.h"
#include "xbase/XbDate.h"

namespace tavrik::xbase {

// The text of field `f` in a record image.
inline std::string_view FieldText(std::string_view image, const TFieldInfo& f) {
  return image.substr(size_t(f.offset), size_t(f.width));
}
bool IsBlankText(std::string_view text);

// xBase VAL: leading blanks, a sign, digits, a point and digits; the rest is ignored; nothing
// readable is 0.
double ValNumber(std::string_view text);

// Stored texts of values for field `f` (all exactly f.width characters). Numbers that do not fit
// raise ETableError "Value <v> does not fit field <NAME> (<T> <w>,<d>)".
std::string NumberFieldText(double value, const TFieldInfo& f);
std::string IntegerFieldText(int64_t value, const TFieldInfo& f);
// A decimal text ("-12.5", " 7 ") into a numeric field, exactly (no detour through a double);
// raises ETableError "Value '<text>' is not a number for field <NAME>" when it is not one.
std::string DecimalTextFieldText(std::string_view text, const TFieldInfo& f);
std::string CharacterFieldText(std::string_view text, const TFieldInfo& f);  // padded or cut
std::string LogicalFieldText(bool value);
std::string DateFieldText(const TXbDate& date);  // the blank date: 8 blanks

// Text of a value given as text, for any non-memo field: character as is, numbers read as
// decimals, dates as "yyyymmdd" or in the shown form of `settings`, logicals as T/F/Y/N (also
// ".T." etc.); blank text gives a blank field. Raises ETableError for text the field cannot take.
std::string TextToFieldText(std::string_view text, const TFieldInfo& f, const TEngineSettings& settings);

// Memo block references: ten characters, digits right-aligned, ten blanks for none.
std::string MemoReferenceText(uint32_t block);
// 0 for none (blank, or all zeros); nothing when the text is not a block reference.
std::optional<uint32_t> ParseMemoReference(std::string_view text);

// `text` with every line longer than `width` broken at its last blank within the width (or at
// the width) by CR LF; `width` <= 0 leaves the text as it is.
std::string WrapLines(std::string_view text, int width);

}  // namespace tavrik::xbase
