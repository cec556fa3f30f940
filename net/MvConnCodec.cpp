#include "net/MvConnCodec.h"

#include <charconv>

#include "platform/FormatSettings.h"

namespace tavrik::mvcodec {

namespace {
[[noreturn]] void NotANumber(std::string_view reply) {
  throw EMvReplyError("'" + std::string(reply.substr(0, 255)) + "' is not a valid number");
}
}  // namespace

int32_t HexReply(std::string_view reply) {
  auto value = TryStrToInt("$" + std::string(reply.substr(0, 255)));
  if (!value) NotANumber(reply);
  return *value;
}

int32_t TrimmedHexReply(std::string_view reply) { return HexReply(Trim(reply)); }

int32_t DecReply(std::string_view reply) {
  auto value = TryStrToInt(reply);
  if (!value) NotANumber(reply);
  return *value;
}

int32_t TrimmedDecReply(std::string_view reply) { return DecReply(Trim(reply)); }

double FloatReply(std::string_view reply) {
  const char separator = platform::FormatSettings().DecimalSeparator;
  std::string text = Trim(reply);
  if (!text.empty() && text[0] == '+') text.erase(0, 1);
  if (text.empty()) NotANumber(reply);
  for (char& c : text) {
    if (c == separator)
      c = '.';
    else if (!((c >= '0' && c <= '9') || c == 'e' || c == 'E' || c == '-' || c == '+'))
      NotANumber(reply);  // a '.' is foreign when the separator is another character
  }
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) NotANumber(reply);
  return value;
}

std::string FloatText(double value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  std::string text(buffer, ec == std::errc() ? end : buffer);
  for (char& c : text)
    if (c == '.') c = platform::FormatSettings().DecimalSeparator;
  return text;
}

}  // namespace tavrik::mvcodec
