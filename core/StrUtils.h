// Text helpers with the run-time library's meanings: trimming removes blanks and control
// characters (every byte up to 32), UpperCase folds only ASCII letters, integers read in decimal
// or in hexadecimal after "$" or "0x".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrik {

std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Upper case by the letters of the single-byte code page (Windows-1252), accented ones included.
std::string AnsiUpperCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);

// `s` followed by blanks up to `width` characters; a longer text is returned whole.
std::string PadRight(std::string_view s, size_t width);
// `s` without the blanks (only ' ') at its end: the padding of a fixed-width field.
std::string_view WithoutTrailingBlanks(std::string_view s);

// The name part of a path: the text after its last "\", ":" or "/", so that a path written for
// either system gives its file name (all of `path` when it holds none of them).
std::string_view ExtractFileName(std::string_view path);

// A text from the wire made safe for one line of a log or a message: bytes outside printable
// ASCII (and the backslash) as \xNN, cut after `max` characters with "...".
std::string Printable(std::string_view bytes, size_t max = 80);
// Upper-case hexadecimal, zero-padded to `digits`; negative values as 32-bit two's complement.
std::string IntToHex(int64_t value, int digits);

// An optional sign, then decimal digits, or hexadecimal digits after "$", "0x" or "0X".
// Leading blanks are allowed, nothing may follow. Values outside 32 bits fail.
std::optional<int32_t> TryStrToInt(std::string_view s);
int32_t StrToIntDef(std::string_view s, int32_t fallback);
// Hexadecimal digits only (no prefix); values up to 32 bits, read as unsigned and wrapped to
// signed as a 32-bit register would.
std::optional<int32_t> TryHexToInt(std::string_view s);

}  // namespace tavrik
