// Fixed texts and numbers of the exception logger: its version, the texts of its internal
// warnings, the mail boundary. Texts a user may customise live in ELang.h instead.
#pragma once

namespace tavrik::exlog {

constexpr const char* kRavlogVersion = "4.5.4";
// Every report opens with this line; the log file is split at it.
constexpr const char* kReportHeading = "Ravlog ";
// Ends every report in the log file: four line breaks.
constexpr const char* kReportSeparator = "\r\n\r\n\r\n\r\n";
constexpr const char* kLogFileExtension = ".rlf";
constexpr const char* kTraceFileExtension = ".log";
constexpr const char* kScreenshotFileName = "Screenshot.png";
constexpr const char* kGeometryFileName = "Ravlog.ini";
constexpr const char* kSettingsResource = "RLDATA";

// Internal warnings.
constexpr const char* kCannotShowDialog = "Cannot show the DialogBox window.";

// Socket failures of the mail sending.
constexpr const char* kInvalidSocket = "Invalid socket: \"%s\".";
constexpr const char* kConnectionError = "Connection error: \"%s\"";
constexpr const char* kSendError = "Error into \"send\": \"%s\"";
constexpr const char* kRecvError = "Error into \"recv\": \"%s\"";
constexpr const char* kSocketTimeout = "Socket timeout.";
constexpr const char* kCannotResolveMx = "Cannot resolve the \"%s\" MX record.";

// The mail client path (MAPI in name only: the desktop's mail command stands in for it).
constexpr const char* kCannotOpenMapi = "Cannot open the MAPI dll.";
constexpr const char* kCannotSendMapi = "Cannot send the MAPI message.";

constexpr const char* kMimeBoundary = "=_qmrtwzpkvbnxlhdgcsjfyvwtr";

// The class of the exception reported for a frozen program.
constexpr const char* kFrozenClassName = "EFrozenApplication";
// The class of the exception that is never reported.
constexpr const char* kSilentClassName = "EAbort";

}  // namespace tavrik::exlog
