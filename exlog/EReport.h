// The report text: the general section (TLogItem), the call stack and modules tables, the CPU
// section, and the formats they share (dates, addresses, sizes). Every value that goes into a
// report has its control characters made blanks, so no value can break the report's layout or
// the log file's separator.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "exlog/ECapture.h"
#include "exlog/ELang.h"
#include "exlog/EModules.h"
#include "exlog/EStack.h"

namespace tavrik::exlog {

// "Mon, 5 Feb 2024 13:04:05 +0530": the time zone as sign, hours and minutes.
std::string FormatRavlogDate(const std::tm& local, long utc_offset_seconds);
// The same for a moment, in the local time zone.
std::string RavlogDate(const timespec& moment);
// An address with as many hexadecimal digits as a pointer has.
std::string AddressText(uintptr_t address);
// Every character below code 32 becomes a blank.
std::string Blanked(const std::string& text);
// The message as a report shows it: blanked, with a final "."; "Unknown error message." for none.
std::string MessageText(const std::string& message);
std::string MemorySizeText(uint64_t bytes);  // "2048 Mb"
std::string DiskSizeText(uint64_t bytes);    // "465.76 Gb", "12.5 Gb"

// The active window and the focused control when the exception happened.
struct TActiveControls {
  std::string form_class;
  std::string form_text;
  std::string control_class;
  std::string control_text;
};

// The values of the general section, in field order.
struct TReportFacts {
  // Application
  timespec start_date{};
  std::string description;
  std::string version;
  std::string parameters;
  // Exception
  timespec date{};
  uintptr_t address = 0;
  std::string module;
  std::string type;     // "" when there is no exception object
  std::string message;  // as raised
  TActiveControls controls;
  // Computer
  std::string computer_name;
  std::string user_name;
  uint64_t total_memory = 0;
  uint64_t free_memory = 0;
  uint64_t total_disk = 0;
  uint64_t free_disk = 0;
  // Operating system
  std::string os_type;
  std::string os_build;
  std::string os_update;
  std::string os_language;
};

struct TGeneralField {
  int group = 0;   // 1..5
  int number = 0;  // within the group, from 1
  int bit = 0;     // its bit in ReportFields
  std::string label;
  std::string value;
};

struct TGeneralGroup {
  std::string title;
  std::vector<TGeneralField> fields;  // only those ReportFields enables
};

// The general section.
class TLogItem {
 public:
  void Build(const TReportFacts& facts, const TCustomizedTexts& texts, uint32_t report_fields);
  const std::vector<TGeneralGroup>& Groups() const { return groups_; }
  std::string Text() const;

 private:
  std::vector<TGeneralGroup> groups_;
};

// A table of six columns: "title:", dashes, the header row, dashes, the rows, dashes. Cells are
// padded to their column's widest entry (the first column to at least `first_width`).
std::string TableText(const std::string& title, const std::vector<std::vector<std::string>>& rows_with_header,
                      size_t first_width);
std::vector<std::vector<std::string>> StackRows(const std::vector<TStackEntry>& stack, const TCustomizedTexts& texts);
std::vector<std::vector<std::string>> ModuleRows(const std::vector<TModuleEntry>& modules, const TCustomizedTexts& texts);
// The registers, then the stack words beside the memory at the exception address.
std::string CpuText(const TRaiseCapture& capture, const TCustomizedTexts& texts);

// Every part of one report and its whole text.
struct TReport {
  TLogItem general;
  std::vector<TStackEntry> stack;
  std::vector<TModuleEntry> modules;
  std::string cpu;
  std::string text;

  void Build(const TReportFacts& facts, const TCustomizedTexts& texts, uint32_t report_fields,
             std::vector<TStackEntry> stack_entries, std::vector<TModuleEntry> module_entries,
             const TRaiseCapture& capture);
};

}  // namespace tavrik::exlog
