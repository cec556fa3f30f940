// The mail message of a report: Base64, the MIME message with its attachments, and the SMTP data
// form of a message.
#pragma once

#include <string>
#include <vector>

namespace tavrik::exlog {

// Standard Base64 with "=" padding, a line break (CR LF) after every 60 input bytes (80
// characters) and after the last group.
std::string Base64Lines(const std::string& data);
// Standard Base64 on one line, without any line break (an AUTH LOGIN answer).
std::string Base64Line(const std::string& data);

struct TAttachment {
  std::string name;  // file name without folder
  std::string content;
};

struct TMailMessage {
  std::string date;  // already formatted
  std::string sender;
  std::string subject;
  std::string recipient;
  std::string body;
  std::vector<TAttachment> attachments;
};

// The message text, ending with the closing boundary line (without the final "."); header values
// have their control characters made blanks, so none can add a header line.
std::string MimeMessage(const TMailMessage& message);
// "image/png" for a ".PNG" file (any case), else "application/octet-stream".
std::string ContentType(const std::string& file_name);
// `message` as SMTP DATA: every line break CR LF, a "." doubled at the start of a line, and the
// closing line "." after it, so no text can end the message early or speak to the server.
std::string SmtpData(const std::string& message);

}  // namespace tavrik::exlog
