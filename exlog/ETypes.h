// The settings of the exception logger (one set per module built with it) with their defaults,
// and their stream form: text lines "Name=Value" with CR LF, values escaped so that any text
// (a customised text holds line breaks) fits on one line. Unknown names are skipped, so a newer
// stream still loads.
//
// Stream lines (any order; later lines win; ExceptionMessage lines add up in order):
//   LoggerActive=1                    switches as 0/1
//   FreezeTimeout=60                  numbers in decimal
//   ReportFields=7FFFFF               hexadecimal, one bit per general field (bit 0 Start Date)
//   ExceptionMessage=EClass|Message   one listed class and the message shown instead of a report
//   Text3=An error ...\r\n...         customised text 3
// Escapes: "\\" backslash, "\r", "\n", "\t", "\|" a bar inside a class name, "\xHH" any byte.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/Exception.h"
#include "core/Streams.h"
#include "exlog/ELang.h"

namespace tavrik::exlog {

TAVRIK_EXCEPTION(ERavlogSettingsError, Exception);

enum TEmailSendMode : int { esmNoEmail = 0, esmEmailClient = 1, esmSmtpServer = 2, esmSmtpClient = 3 };

// The fields of the general section, in report order: bit N of ReportFields enables field N.
constexpr int kGeneralFieldCount = 23;
constexpr uint32_t kAllReportFields = (1u << kGeneralFieldCount) - 1;

struct TRavlogModuleOptions {
  bool LoggerActive = true;
  bool FreezeCheckEnabled = false;
  int FreezeTimeout = 60;  // seconds
  std::string FreezeMessage = "The application seems to be frozen.";
  std::string SenderAddress;  // no built-in sender: "MAIL FROM:<>" is the null sender
  std::string SmtpHost;
  int SmtpPort = 25;
  std::string SmtpUserId;
  std::string SmtpPassword;
  std::string EmailAddresses;  // separated by ";"
  std::string EmailSubject;
  std::string EmailMessage;
  int EmailSendMode = esmNoEmail;
  bool ShowSendProgress = true;
  bool ShowExceptionDialog = true;
  bool TerminateButtonRestarts = true;
  bool SaveLogFile = true;
  int ErrorsInLogFile = 32;  // at least 1
  bool ReportInMessageBody = false;
  bool AttachScreenshot = false;
  std::string OutputPath;  // folder, or the whole ".rlf" file name
  std::vector<std::pair<std::string, std::string>> ExceptionMessages;  // class, message
  uint32_t ReportFields = kAllReportFields;
  int ActivePage = 0;  // 0 General, 1 Call Stack, 2 Modules, 3 CPU
  bool AskReproduceSteps = false;
  TCustomizedTexts CustomizedTexts;

  bool operator==(const TRavlogModuleOptions&) const = default;

  void SetErrorsInLogFile(int count) { ErrorsInLogFile = count < 1 ? 1 : count; }
  // The message listed for `class_name`, or nullptr.
  const std::string* ListedMessage(const std::string& class_name) const;
};

// The settings with their stream form.
class TRavlogModuleOptionsEx : public TRavlogModuleOptions {
 public:
  void SaveToStream(TStream& stream) const;
  // Applies the lines of `stream` from its position to its end over the current values. Raises
  // ERavlogSettingsError naming the line for a value that cannot be read.
  void LoadFromStream(TStream& stream);

  std::string ToText() const;
  void LoadFromText(const std::string& text);
};

}  // namespace tavrik::exlog
