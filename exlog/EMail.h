// Sending a report by e-mail (SendReport): through the user's mail client, through the SMTP
// server of the settings, or straight to each recipient's mail exchanger. Every failure is a
// warning ("SMTP", "MAPI", "Mail"); nothing of it reaches the user but the progress window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "exlog/ETypes.h"
#include "exlog/EUi.h"

namespace tavrik::exlog {

using TWarn = std::function<void(const std::string& kind, const std::string& text)>;

// A report on its way out.
struct TReportMail {
  std::string report;           // the report text
  std::string steps;            // the reproduction steps the user typed ("" for none)
  std::string log_file_name;    // the name the attached report takes ("tavrik.rlf")
  std::string screenshot_file;  // a PNG file to attach, "" for none
  std::string temp_folder;      // a private folder for the attachment files
};

// Sends `mail` in the way `options` choose (EmailSendMode 1, 2 or 3); true when it went out.
// `progress` (may be null) shows the SMTP dialogue.
bool SendReport(const TRavlogModuleOptions& options, const TReportMail& mail, TSendProgress* progress,
                const TWarn& warn);

// The report as it is logged and sent: with the reproduction steps under it.
std::string SentReport(const TRavlogModuleOptions& options, const TReportMail& mail);
// The mail message's body: EmailMessage, followed by three line breaks and the report when it
// goes in the body.
std::string MailBody(const TRavlogModuleOptions& options, const TReportMail& mail);
// The files to attach: the report saved as `log_file_name` in the temporary folder (unless it
// goes in the body), and the screenshot.
std::vector<std::string> MailAttachments(const TRavlogModuleOptions& options, const TReportMail& mail);

// The "mailto:" text of the mail handler, every part in UTF-8 and percent-encoded: recipients,
// "?Subject=", the subject, "&Body=", the body (EmailMessage without "&", three line breaks, the
// report and, after three more, the typed steps).
std::string MailtoUrl(const TRavlogModuleOptions& options, const TReportMail& mail);
std::string PercentEncoded(const std::string& text);

}  // namespace tavrik::exlog
