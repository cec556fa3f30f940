#include "exlog/EMime.h"

#include "core/StrUtils.h"
#include "exlog/EConsts.h"
#include "exlog/EReport.h"

namespace tavrik::exlog {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kBytesPerLine = 60;

std::string Encode(const std::string& data, size_t from, size_t to) {
  std::string out;
  for (size_t i = from; i < to; i += 3) {
    uint32_t n = static_cast<uint8_t>(data[i]) << 16;
    if (i + 1 < to) n |= static_cast<uint8_t>(data[i + 1]) << 8;
    if (i + 2 < to) n |= static_cast<uint8_t>(data[i + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < to ? kAlphabet[(n >> 6) & 63] : '=';
    out += i + 2 < to ? kAlphabet[n & 63] : '=';
  }
  return out;
}

}  // namespace

std::string Base64Lines(const std::string& data) {
  std::string out;
  for (size_t i = 0; i < data.size(); i += kBytesPerLine)
    out += Encode(data, i, std::min(data.size(), i + kBytesPerLine)) + "\r\n";
  return out;
}

std::string Base64Line(const std::string& data) { return Encode(data, 0, data.size()); }

std::string ContentType(const std::string& file_name) {
  return file_name.size() >= 4 && SameText(file_name.substr(file_name.size() - 4), ".PNG") ? "image/png"
                                                                                           : "application/octet-stream";
}

std::string MimeMessage(const TMailMessage& m) {
  const std::string boundary = kMimeBoundary;
  std::string out = "Date: " + Blanked(m.date) + "\r\n" + "From: <" + Blanked(m.sender) + ">\r\n" +
                    "Subject: " + Blanked(m.subject) + "\r\n" + "To: <" + Blanked(m.recipient) + ">\r\n" +
                    "Content-Type: multipart/mixed; boundary=\"" + boundary + "\";\r\n" + "MIME-Version: 1.0\r\n" +
                    "X-Priority: 1\r\n" + "X-Library: Ravlog " + kRavlogVersion + "\r\n" + "\r\n";
  out += "This is a multi-part message in MIME format\r\n\r\n--" + boundary +
         "\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: 7bit\r\n\r\n";
  out += m.body + "\r\n";
  for (const TAttachment& a : m.attachments) {
    const std::string name = Blanked(a.name);
    out += "\r\n--" + boundary + "\r\n" + "Content-Type: " + ContentType(name) + ";\r\n" + "        name=\"" + name +
           "\"\r\n" + "Content-Transfer-Encoding: base64\r\n" + "Content-Disposition: attachment;\r\n" +
           "        filename=\"" + name + "\"\r\n\r\n" + Base64Lines(a.content);
  }
  out += "--" + boundary + "--\r\n";
  return out;
}

std::string SmtpData(const std::string& message) {
  std::string out;
  bool line_start = true;
  for (size_t i = 0; i < message.size(); ++i) {
    char c = message[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n') ++i;
      out += "\r\n";
      line_start = true;
      continue;
    }
    if (line_start && c == '.') out += '.';
    out += c;
    line_start = false;
  }
  if (!line_start) out += "\r\n";
  return out + ".\r\n";
}

}  // namespace tavrik::exlog
