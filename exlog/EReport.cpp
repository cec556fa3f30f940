#include "exlog/EReport.h"

#include <algorithm>
#include <cstdio>

#include "core/StrUtils.h"
#include "exlog/EConsts.h"
#include "exlog/ETypes.h"

namespace tavrik::exlog {

namespace {

constexpr int kAddressDigits = static_cast<int>(2 * sizeof(uintptr_t));
const char* const kCrLf = "\r\n";

std::string Dashes(size_t count) { return std::string(count, '-'); }

std::string Hex2(uint8_t b) {
  char s[3];
  std::snprintf(s, sizeof s, "%02X", b);
  return s;
}

}  // namespace

std::string FormatRavlogDate(const std::tm& local, long utc_offset_seconds) {
  static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const long offset_minutes = (utc_offset_seconds < 0 ? -utc_offset_seconds : utc_offset_seconds) / 60;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02ld%02ld", kDays[(local.tm_wday % 7 + 7) % 7],
                local.tm_mday, kMonths[(local.tm_mon % 12 + 12) % 12], local.tm_year + 1900, local.tm_hour,
                local.tm_min, local.tm_sec, utc_offset_seconds < 0 ? '-' : '+', offset_minutes / 60,
                offset_minutes % 60);
  return text;
}

std::string RavlogDate(const timespec& moment) {
  std::tm local{};
  time_t seconds = moment.tv_sec;
  localtime_r(&seconds, &local);
  return FormatRavlogDate(local, local.tm_gmtoff);
}

std::string AddressText(uintptr_t address) { return IntToHex(static_cast<int64_t>(address), kAddressDigits); }

std::string Blanked(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  return out;
}

std::string MessageText(const std::string& message) {
  if (message.empty()) return "Unknown error message.";
  std::string out = Blanked(message);
  if (out.back() != '.') out += '.';
  return out;
}

std::string MemorySizeText(uint64_t bytes) { return std::to_string(bytes / (1024 * 1024)) + " Mb"; }

std::string DiskSizeText(uint64_t bytes) {
  char text[48];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0));
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s + " Gb";
}

void TLogItem::Build(const TReportFacts& f, const TCustomizedTexts& texts, uint32_t report_fields) {
  const std::string values[kGeneralFieldCount] = {
      RavlogDate(f.start_date), f.description, f.version, f.parameters,
      RavlogDate(f.date), f.address ? AddressText(f.address) : std::string(), f.module,
      f.type.empty() ? std::string("Unknown exception type.") : f.type, MessageText(f.message),
      f.controls.form_class, f.controls.form_text, f.controls.control_class, f.controls.control_text,
      f.computer_name, f.user_name, MemorySizeText(f.total_memory), MemorySizeText(f.free_memory),
      DiskSizeText(f.total_disk), DiskSizeText(f.free_disk),
      f.os_type, f.os_build, Trim(f.os_update), f.os_language,
  };
  // Each group's title text; its field labels are the texts that follow it.
  static const int kTitles[5] = {txApplication, txException, txActiveControls, txComputer, txOperatingSystem};
  static const int kFieldCounts[5] = {4, 5, 4, 6, 4};
  groups_.clear();
  int bit = 0;
  for (int g = 0; g < 5; ++g) {
    TGeneralGroup group;
    group.title = texts[kTitles[g]];
    for (int n = 1; n <= kFieldCounts[g]; ++n, ++bit) {
      if (!(report_fields & (1u << bit))) continue;
      group.fields.push_back(TGeneralField{g + 1, n, bit, texts[kTitles[g] + n], Blanked(values[bit])});
    }
    groups_.push_back(std::move(group));
  }
}

std::string TLogItem::Text() const {
  std::string out;
  for (const TGeneralGroup& group : groups_) {
    size_t label_width = 0;
    for (const TGeneralField& f : group.fields) label_width = std::max(label_width, f.label.size());
    std::vector<std::string> lines;
    for (const TGeneralField& f : group.fields)
      lines.push_back("  " + std::to_string(f.group) + "." + std::to_string(f.number) + " " +
                      PadRight(f.label, label_width) + ": " + f.value);
    const std::string title = group.title + ":";
    size_t longest = title.size();
    for (const std::string& line : lines) longest = std::max(longest, line.size());
    out += title + kCrLf + Dashes(longest) + kCrLf;
    for (const std::string& line : lines) out += line + kCrLf;
  }
  return out;
}

std::string TableText(const std::string& title, const std::vector<std::vector<std::string>>& rows_with_header,
                      size_t first_width) {
  std::vector<size_t> widths;
  for (const auto& row : rows_with_header) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Blanked(row[c]).size());
  }
  if (!widths.empty()) widths[0] = std::max(widths[0], first_width);
  size_t total = widths.size() + 1;
  for (size_t w : widths) total += w;
  auto row_text = [&](const std::vector<std::string>& row) {
    std::string line = "|";
    for (size_t c = 0; c < widths.size(); ++c) line += PadRight(c < row.size() ? Blanked(row[c]) : "", widths[c]) + "|";
    return line + kCrLf;
  };
  const std::string dashes = Dashes(total) + kCrLf;
  std::string out = title + ":" + kCrLf + dashes;
  if (rows_with_header.empty()) return out + dashes;
  out += row_text(rows_with_header[0]) + dashes;
  for (size_t r = 1; r < rows_with_header.size(); ++r) out += row_text(rows_with_header[r]);
  return out + dashes;
}

std::vector<std::vector<std::string>> StackRows(const std::vector<TStackEntry>& stack, const TCustomizedTexts& texts) {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({texts[47], texts[48], texts[49], texts[50], texts[51], texts[52]});
  for (const TStackEntry& e : stack)
    rows.push_back({AddressText(e.address), e.module, e.unit, e.class_name, e.procedure,
                    e.line > 0 ? std::to_string(e.line) : std::string()});
  return rows;
}

std::vector<std::vector<std::string>> ModuleRows(const std::vector<TModuleEntry>& modules, const TCustomizedTexts& texts) {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({texts[62], texts[63], texts[64], texts[65], texts[66], texts[67]});
  for (const TModuleEntry& m : modules)
    rows.push_back({AddressText(m.handle), m.name, m.description, m.version, std::to_string(m.size), m.path});
  return rows;
}

std::string CpuText(const TRaiseCapture& capture, const TCustomizedTexts& texts) {
  const size_t w = kAddressDigits;
  auto reg = [&](int i) {
    return std::string(TRegisters::Name(i)) + ": " +
           (capture.registers.known[i] ? AddressText(capture.registers.value[i]) : std::string("????"));
  };
  std::string out = texts[txRegisters] + ":" + kCrLf + Dashes(13 + 2 * w) + kCrLf;
  for (int i = 0; i < kRegisterCount; i += 2) out += reg(i) + "   " + reg(i + 1) + kCrLf;
  out += kCrLf;
  const size_t stack_column = 2 * w + 2;
  out += PadRight(texts[txStack] + ":", stack_column + 3) + texts[txMemoryDump] + ":" + kCrLf;
  out += Dashes(stack_column) + "   " + Dashes(w + 2 + 3 * 16 + 1 + 16) + kCrLf;
  if (!capture.stack_read || !capture.memory_read) return out;
  for (size_t i = 0; i < kStackWords; ++i) {
    const uintptr_t row = capture.address + 16 * i;
    out += AddressText(capture.stack_address + i * sizeof(uintptr_t)) + ": " + AddressText(capture.stack_words[i]) +
           "   " + AddressText(row) + ": ";
    std::string chars;
    for (size_t b = 0; b < 16; ++b) {
      uint8_t byte = capture.memory[16 * i + b];
      out += Hex2(byte) + " ";
      chars += byte >= 32 && byte <= 126 ? static_cast<char>(byte) : '.';
    }
    out += " " + chars + kCrLf;
  }
  return out;
}

void TReport::Build(const TReportFacts& facts, const TCustomizedTexts& texts, uint32_t report_fields,
                    std::vector<TStackEntry> stack_entries, std::vector<TModuleEntry> module_entries,
                    const TRaiseCapture& capture) {
  general.Build(facts, texts, report_fields);
  stack = std::move(stack_entries);
  modules = std::move(module_entries);
  cpu = CpuText(capture, texts);
  text = std::string(kReportHeading) + kRavlogVersion + kCrLf + kCrLf + general.Text() + kCrLf +
         TableText(texts[txCallStackInfo], StackRows(stack, texts), kAddressDigits) +
         TableText(texts[txModulesInfo], ModuleRows(modules, texts), kAddressDigits) + kCrLf + cpu;
}

}  // namespace tavrik::exlog
