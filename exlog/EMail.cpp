#include "exlog/EMail.h"

#include <cstdio>
#include <fstream>

#include "exlog/EConsts.h"
#include "exlog/ELogFile.h"
#include "exlog/ESmtp.h"
#include "platform/CodePage.h"
#include "platform/Desktop.h"

namespace tavrik::exlog {

namespace {

// How long the mail client or the URL handler gets to take the message over.
constexpr int kHandOverMilliseconds = 12000;
const char* const kThreeLineBreaks = "\r\n\r\n\r\n";

std::string WithoutAmpersands(std::string text) {
  std::erase(text, '&');
  return text;
}

bool SendThroughMailClient(const TRavlogModuleOptions& options, const TReportMail& mail,
                           const std::vector<std::string>& attachments, const TWarn& warn) {
  std::vector<std::string> args = {"--utf8", "--subject", platform::AnsiToUtf8(options.EmailSubject), "--body",
                                   platform::AnsiToUtf8(MailBody(options, mail))};
  for (const std::string& file : attachments) {
    args.push_back("--attach");
    args.push_back(file);
  }
  for (const std::string& recipient : SplitRecipients(options.EmailAddresses)) args.push_back(recipient);
  platform::TRunResult run = platform::RunMailClient(args, kHandOverMilliseconds);
  if (!run.started) {
    warn("MAPI", std::string(kCannotOpenMapi) + " " + run.error);
    return false;
  }
  if (run.finished && run.exit_code != 0) {
    warn("MAPI", kCannotSendMapi);
    return false;
  }
  return true;
}

bool SendThroughMailto(const TRavlogModuleOptions& options, const TReportMail& mail, const TWarn& warn) {
  platform::TRunResult run = platform::OpenUrl(MailtoUrl(options, mail), kHandOverMilliseconds);
  if (!run.started) {
    warn("Mail", run.error);
    return false;
  }
  if (run.finished && run.exit_code != 0) {
    warn("Mail", "The mail handler ended with exit code " + std::to_string(run.exit_code) + ".");
    return false;
  }
  return true;
}

}  // namespace

std::string SentReport(const TRavlogModuleOptions& options, const TReportMail& mail) {
  return ReportWithSteps(mail.report, mail.steps, options.CustomizedTexts[txRequest]);
}

std::string MailBody(const TRavlogModuleOptions& options, const TReportMail& mail) {
  return options.ReportInMessageBody ? options.EmailMessage + kThreeLineBreaks + SentReport(options, mail)
                                     : options.EmailMessage;
}

std::vector<std::string> MailAttachments(const TRavlogModuleOptions& options, const TReportMail& mail) {
  std::vector<std::string> files;
  if (!options.ReportInMessageBody) {
    const std::string file = mail.temp_folder + "/" + mail.log_file_name;
    const std::string report = SentReport(options, mail);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(report.data(), static_cast<std::streamsize>(report.size()));
    if (!out.flush()) throw Exception("Cannot write " + file);
    files.push_back(file);
  }
  if (!mail.screenshot_file.empty()) files.push_back(mail.screenshot_file);
  return files;
}

std::string PercentEncoded(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~' || c == '@') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string MailtoUrl(const TRavlogModuleOptions& options, const TReportMail& mail) {
  std::string recipients;
  for (const std::string& r : SplitRecipients(options.EmailAddresses))
    recipients += (recipients.empty() ? "" : ",") + PercentEncoded(platform::AnsiToUtf8(r));
  std::string body = WithoutAmpersands(options.EmailMessage) + kThreeLineBreaks + mail.report;
  if (!mail.steps.empty()) body += kThreeLineBreaks + NormalizedSteps(mail.steps);
  return "mailto:" + recipients + "?Subject=" + PercentEncoded(platform::AnsiToUtf8(options.EmailSubject)) +
         "&Body=" + PercentEncoded(platform::AnsiToUtf8(body));
}

bool SendReport(const TRavlogModuleOptions& options, const TReportMail& mail, TSendProgress* progress,
                const TWarn& warn) {
  const std::vector<std::string> attachments = MailAttachments(options, mail);
  switch (options.EmailSendMode) {
    case esmSmtpServer:
    case esmSmtpClient: {
      TSmtpSender smtp(options.CustomizedTexts, progress, warn);
      return smtp.SendSmtp(options.EmailSendMode == esmSmtpClient, options.SenderAddress, options.SmtpHost,
                           attachments, MailBody(options, mail), options.EmailSubject, options.EmailAddresses,
                           options.SmtpPassword, options.SmtpUserId, static_cast<uint16_t>(options.SmtpPort));
    }
    case esmEmailClient:
      return SendThroughMailClient(options, mail, attachments, warn) || SendThroughMailto(options, mail, warn);
    default:
      return false;
  }
}

}  // namespace tavrik::exlog
