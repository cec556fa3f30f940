#include "exlog/ETypes.h"

#include <cstdio>

#include "core/StrUtils.h"

namespace tavrik::exlog {

namespace {

std::string Escape(const std::string& value, bool escape_bar) {
  std::string out;
  for (unsigned char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '|':
        out += escape_bar ? "\\|" : "|";
        break;
      default:
        if (c < 32 || c == 127) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

// Undoes Escape; with `stop_at_bar`, stops at the first unescaped "|" and leaves `pos` on it.
std::string Unescape(const std::string& text, size_t& pos, bool stop_at_bar, const std::string& line) {
  std::string out;
  while (pos < text.size()) {
    char c = text[pos];
    if (c == '|' && stop_at_bar) return out;
    ++pos;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= text.size()) throw ERavlogSettingsError("Invalid settings line: " + line);
    char e = text[pos++];
    switch (e) {
      case '\\': out += '\\'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case '|': out += '|'; break;
      case 'x': {
        std::optional<int32_t> v = pos + 2 <= text.size() ? TryHexToInt(text.substr(pos, 2)) : std::nullopt;
        if (!v) throw ERavlogSettingsError("Invalid settings line: " + line);
        out += static_cast<char>(*v);
        pos += 2;
        break;
      }
      default: throw ERavlogSettingsError("Invalid settings line: " + line);
    }
  }
  return out;
}

struct BoolField {
  const char* name;
  bool TRavlogModuleOptions::*field;
};
struct IntField {
  const char* name;
  int TRavlogModuleOptions::*field;
};
struct TextField {
  const char* name;
  std::string TRavlogModuleOptions::*field;
};

constexpr BoolField kBools[] = {
    {"LoggerActive", &TRavlogModuleOptions::LoggerActive},
    {"FreezeCheckEnabled", &TRavlogModuleOptions::FreezeCheckEnabled},
    {"ShowSendProgress", &TRavlogModuleOptions::ShowSendProgress},
    {"ShowExceptionDialog", &TRavlogModuleOptions::ShowExceptionDialog},
    {"TerminateButtonRestarts", &TRavlogModuleOptions::TerminateButtonRestarts},
    {"SaveLogFile", &TRavlogModuleOptions::SaveLogFile},
    {"ReportInMessageBody", &TRavlogModuleOptions::ReportInMessageBody},
    {"AttachScreenshot", &TRavlogModuleOptions::AttachScreenshot},
    {"AskReproduceSteps", &TRavlogModuleOptions::AskReproduceSteps},
};
constexpr IntField kInts[] = {
    {"FreezeTimeout", &TRavlogModuleOptions::FreezeTimeout},
    {"SmtpPort", &TRavlogModuleOptions::SmtpPort},
    {"EmailSendMode", &TRavlogModuleOptions::EmailSendMode},
    {"ErrorsInLogFile", &TRavlogModuleOptions::ErrorsInLogFile},
    {"ActivePage", &TRavlogModuleOptions::ActivePage},
};
constexpr TextField kTexts[] = {
    {"FreezeMessage", &TRavlogModuleOptions::FreezeMessage},
    {"SenderAddress", &TRavlogModuleOptions::SenderAddress},
    {"SmtpHost", &TRavlogModuleOptions::SmtpHost},
    {"SmtpUserId", &TRavlogModuleOptions::SmtpUserId},
    {"SmtpPassword", &TRavlogModuleOptions::SmtpPassword},
    {"EmailAddresses", &TRavlogModuleOptions::EmailAddresses},
    {"EmailSubject", &TRavlogModuleOptions::EmailSubject},
    {"EmailMessage", &TRavlogModuleOptions::EmailMessage},
    {"OutputPath", &TRavlogModuleOptions::OutputPath},
};

}  // namespace

const std::string* TRavlogModuleOptions::ListedMessage(const std::string& class_name) const {
  for (const auto& [listed, message] : ExceptionMessages)
    if (listed == class_name) return &message;
  return nullptr;
}

std::string TRavlogModuleOptionsEx::ToText() const {
  std::string out;
  auto line = [&out](const std::string& name, const std::string& value) { out += name + "=" + value + "\r\n"; };
  for (const BoolField& f : kBools) line(f.name, this->*f.field ? "1" : "0");
  for (const IntField& f : kInts) line(f.name, std::to_string(this->*f.field));
  for (const TextField& f : kTexts) line(f.name, Escape(this->*f.field, false));
  line("ReportFields", IntToHex(ReportFields, 6));
  for (const auto& [listed, message] : ExceptionMessages)
    line("ExceptionMessage", Escape(listed, true) + "|" + Escape(message, false));
  for (int i = 0; i < kCustomizedTextCount; ++i) line("Text" + std::to_string(i), Escape(CustomizedTexts[i], false));
  return out;
}

void TRavlogModuleOptionsEx::LoadFromText(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trim(line).empty() || line[0] == '#' || line[0] == ';') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) throw ERavlogSettingsError("Invalid settings line: " + line);
    const std::string name = Trim(line.substr(0, eq));
    const std::string raw = line.substr(eq + 1);
    size_t pos = 0;
    auto number = [&](int32_t& out) {
      std::optional<int32_t> v = TryStrToInt(Trim(raw));
      if (!v) throw ERavlogSettingsError("Invalid settings line: " + line);
      out = *v;
    };
    bool known = false;
    for (const BoolField& f : kBools)
      if (SameText(name, f.name)) {
        int32_t v = 0;
        number(v);
        this->*f.field = v != 0;
        known = true;
      }
    for (const IntField& f : kInts)
      if (SameText(name, f.name)) {
        number(this->*f.field);
        known = true;
      }
    for (const TextField& f : kTexts)
      if (SameText(name, f.name)) {
        this->*f.field = Unescape(raw, pos, false, line);
        known = true;
      }
    if (known) continue;
    if (SameText(name, "ReportFields")) {
      std::optional<int32_t> v = TryHexToInt(Trim(raw));
      if (!v) throw ERavlogSettingsError("Invalid settings line: " + line);
      ReportFields = static_cast<uint32_t>(*v) & kAllReportFields;
    } else if (SameText(name, "ExceptionMessage")) {
      std::string listed = Unescape(raw, pos, true, line);
      if (pos >= raw.size()) throw ERavlogSettingsError("Invalid settings line: " + line);
      ++pos;  // the bar
      ExceptionMessages.emplace_back(listed, Unescape(raw, pos, false, line));
    } else if (name.size() > 4 && SameText(name.substr(0, 4), "Text")) {
      std::optional<int32_t> index = TryStrToInt(name.substr(4));
      if (index && *index >= 0 && *index < kCustomizedTextCount) CustomizedTexts[*index] = Unescape(raw, pos, false, line);
    }
  }
  SetErrorsInLogFile(ErrorsInLogFile);
}

void TRavlogModuleOptionsEx::SaveToStream(TStream& stream) const { stream.WriteString(ToText()); }

void TRavlogModuleOptionsEx::LoadFromStream(TStream& stream) {
  std::string text(static_cast<size_t>(stream.Size() - stream.Position()), '\0');
  stream.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
  LoadFromText(text);
}

}  // namespace tavrik::exlog
