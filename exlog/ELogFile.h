// The log file: the reports of a module kept one after another in "<module>.rlf", each opened by
// its "Ravlog " line and closed by four line breaks, at most ErrorsInLogFile of them, oldest
// first. The file is rewritten whole through a temporary file renamed into place, under an
// exclusive lock on the file, so neither a crash halfway nor a second instance writing at the
// same time loses a report.
#pragma once

#include <string>
#include <vector>

#include "core/Exception.h"

namespace tavrik::exlog {

TAVRIK_EXCEPTION(ERavlogLogError, Exception);

// The log file of the module file `module_file`: beside it with the extension ".rlf", or in
// `output_path` (a "/" added when missing), or `output_path` itself when that ends in ".rlf".
std::string LogFileName(const std::string& module_file, const std::string& output_path);

// The reproduction steps as they go under a report: line breaks made CR LF, other control
// characters blanks, trailing blanks cut, and never more than one empty line in a row (so the
// steps can never hold the separator of the log file).
std::string NormalizedSteps(const std::string& typed);
// `report` with the steps added under it ("Request:", a line of dashes, the steps); the report
// alone when no steps were typed.
std::string ReportWithSteps(const std::string& report, const std::string& steps, const std::string& request_title);

class TLogFile {
 public:
  explicit TLogFile(std::string file_name) : file_name_(std::move(file_name)) {}

  // The reports in `text`, each with its separator; text outside every report is dropped.
  static std::vector<std::string> Split(const std::string& text);

  // Adds `report` as the newest and keeps the newest `max_reports`. Raises ERavlogLogError with
  // the system's reason when the file cannot be written.
  void Append(const std::string& report, int max_reports);
  // The reports in the file now (none when there is no file).
  std::vector<std::string> Reports() const;

 private:
  std::string file_name_;
};

}  // namespace tavrik::exlog
