// Text crosses between the system's single-byte Windows-1252 strings and Qt's strings here only
// (the program's windows and the logger's dialogs alike).
#pragma once

#include <QString>
#include <string>

#include "platform/CodePage.h"

namespace tavrik {

inline QString QStr(const std::string& ansi) { return QString::fromStdString(platform::AnsiToUtf8(ansi)); }
inline std::string AnsiStr(const QString& text) { return platform::Utf8ToAnsi(text.toStdString()); }

}  // namespace tavrik
