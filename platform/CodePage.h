// Code-page conversion through iconv. Text below the user interface is single-byte
// Windows-1252 ("ANSI"); the OEM code page of xBase tables is CP437 or CP850. Characters that
// have no place in the target become "?", so a conversion never fails and never loses length
// information silently in single-byte targets.
#pragma once

#include <string>

namespace tavrik::platform {

enum class TOemCodePage { cp437, cp850 };

std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);
std::string OemToAnsi(const std::string& oem, TOemCodePage page = TOemCodePage::cp850);
std::string AnsiToOem(const std::string& ansi, TOemCodePage page = TOemCodePage::cp850);
// Whether `text` is well-formed UTF-8 (plain ASCII is).
bool IsUtf8(const std::string& text);

}  // namespace tavrik::platform
