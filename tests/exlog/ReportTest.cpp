// The report text: dates with their zones, the general section's columns, the tables, the CPU
// section, and values that must not break the layout.
#include <gtest/gtest.h>

#include "exlog/EReport.h"
#include "exlog/ETypes.h"

namespace tavrik::exlog {
namespace {

std::tm Moment(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  timegm(&t);  // fills in the weekday
  return t;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

TEST(ReportDate, ZonesWithTheirRealMinutes) {
  const std::tm t = Moment(2024, 2, 5, 13, 4, 5);
  struct Case {
    long offset;
    const char* text;
  } cases[] = {
      {0, "Mon, 5 Feb 2024 13:04:05 +0000"},      {3600, "Mon, 5 Feb 2024 13:04:05 +0100"},
      {19800, "Mon, 5 Feb 2024 13:04:05 +0530"},  {-12600, "Mon, 5 Feb 2024 13:04:05 -0330"},
      {20700, "Mon, 5 Feb 2024 13:04:05 +0545"},  {-36000, "Mon, 5 Feb 2024 13:04:05 -1000"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatRavlogDate(t, c.offset), c.text);
  EXPECT_EQ(FormatRavlogDate(Moment(2023, 12, 31, 0, 0, 9), 0), "Sun, 31 Dec 2023 00:00:09 +0000");
}

TEST(ReportValues, MessagesAddressesAndSizes) {
  EXPECT_EQ(MessageText(""), "Unknown error message.");
  EXPECT_EQ(MessageText("Disk full"), "Disk full.");
  EXPECT_EQ(MessageText("Done."), "Done.");
  EXPECT_EQ(MessageText("Socket Error #10061\r\nConnection refused."), "Socket Error #10061  Connection refused.");
  EXPECT_EQ(MessageText(std::string("a\0b\tc\x1f", 6)), "a b c .");
  EXPECT_EQ(AddressText(0x401234), "0000000000401234");
  EXPECT_EQ(MemorySizeText(3ull << 30), "3072 Mb");
  EXPECT_EQ(MemorySizeText((1ull << 20) - 1), "0 Mb");
  EXPECT_EQ(DiskSizeText(500ull << 30), "500 Gb");
  EXPECT_EQ(DiskSizeText((1ull << 30) * 25 / 10), "2.5 Gb");
  EXPECT_EQ(DiskSizeText(1234567890123ull), "1149.78 Gb");
}

TReportFacts SampleFacts() {
  TReportFacts f;
  f.description = "Tavrik";
  f.version = "0.1.0.0";
  f.parameters = "\"-x\"";
  f.address = 0x1234;
  f.module = "tavrik";
  f.type = "EMarvekError";
  f.message = "[MarvekConnection.Connect]Socket Error #10061\r\nConnection refused.";
  f.controls = {"TTavrikFrm", "Tavrik", "QLineEdit", "****"};
  f.computer_name = "pc7";
  f.user_name = "jan";
  f.total_memory = 8ull << 30;
  f.free_memory = 3ull << 30;
  f.total_disk = 100ull << 30;
  f.free_disk = 25ull << 29;
  f.os_type = "Debian GNU/Linux 12 (bookworm)";
  f.os_build = "6.1.0";
  f.os_update = "  #1 SMP  ";
  f.os_language = "English";
  return f;
}

TEST(GeneralSection, LabelsAlignedWithinEachGroup) {
  TLogItem item;
  item.Build(SampleFacts(), TCustomizedTexts(), kAllReportFields);
  const std::vector<std::string> lines = Lines(item.Text());
  ASSERT_EQ(lines.size(), 5u * 2 + 23);
  EXPECT_EQ(lines[0], "Application:");
  EXPECT_EQ(lines[2].substr(0, 24), "  1.1 Start Date      : ");
  EXPECT_EQ(lines[4], "  1.3 Version Number  : 0.1.0.0");
  EXPECT_EQ(lines[5], "  1.4 Parameters      : \"-x\"");
  EXPECT_EQ(lines[6], "Exception:");
  EXPECT_EQ(lines[9], "  2.2 Address: 0000000000001234");
  EXPECT_EQ(lines[11], "  2.4 Type   : EMarvekError");
  EXPECT_EQ(lines[12], "  2.5 Message: [MarvekConnection.Connect]Socket Error #10061  Connection refused.");
  EXPECT_EQ(lines[7], std::string(lines[12].size(), '-'));  // as long as the group's longest line
  EXPECT_EQ(lines[16], "  3.2 Form Text    : Tavrik");
  EXPECT_EQ(lines[18], "  3.4 Control Text : ****");
  EXPECT_EQ(lines[21], "  4.1 Name        : pc7");
  EXPECT_EQ(lines[23], "  4.3 Total Memory: 8192 Mb");
  EXPECT_EQ(lines[24], "  4.4 Free Memory : 3072 Mb");
  EXPECT_EQ(lines[26], "  4.6 Free Disk   : 12.5 Gb");
  EXPECT_EQ(lines[30], "  5.2 Build # : 6.1.0");
  EXPECT_EQ(lines[31], "  5.3 Update  : #1 SMP");
}

TEST(GeneralSection, OnlyTheFieldsReportFieldsEnables) {
  TReportFacts facts = SampleFacts();
  facts.type.clear();
  TLogItem item;
  item.Build(facts, TCustomizedTexts(), (1u << 7) | (1u << 8));  // Type and Message
  EXPECT_EQ(Lines(item.Text()), (std::vector<std::string>{
                                    "Application:", "------------", "Exception:",
                                    std::string(81, '-'), "  2.4 Type   : Unknown exception type.",
                                    "  2.5 Message: [MarvekConnection.Connect]Socket Error #10061  Connection refused.",
                                    "Active Controls:", "----------------", "Computer:", "---------",
                                    "Operating System:", "-----------------"}));
}

TEST(ReportTables, CellsPaddedToTheirColumns) {
  EXPECT_EQ(TableText("Call Stack Information",
                      {{"Address", "Module", "Unit", "Class", "Procedure/Method", "Line"},
                       {"00000001", "tavrik", "Main.cpp", "TTavrikFrm", "LoginBtnClick", "120"},
                       {"00000002", "libc.so.6", "", "", "main", ""}},
                      8),
            "Call Stack Information:\r\n" + std::string(62, '-') + "\r\n"
            "|Address |Module   |Unit    |Class     |Procedure/Method|Line|\r\n" + std::string(62, '-') + "\r\n"
            "|00000001|tavrik   |Main.cpp|TTavrikFrm|LoginBtnClick   |120 |\r\n"
            "|00000002|libc.so.6|        |          |main            |    |\r\n" + std::string(62, '-') + "\r\n");
  // The address column is at least `first_width` wide; a cell's line breaks become blanks.
  EXPECT_EQ(TableText("T", {{"A", "B"}, {"1", "x\ny"}}, 4), "T:\r\n----------\r\n|A   |B  |\r\n----------\r\n|1   |x y|\r\n----------\r\n");
}

TEST(CpuSection, RegistersAndTheDumpOnlyWhenBothCanBeRead) {
  TRaiseCapture capture;
  capture.registers.Set(rgIP, 0x10);
  capture.registers.Set(rgSP, 0x7f00);
  capture.address = 0x10;
  const std::string without = CpuText(capture, TCustomizedTexts());
  const std::vector<std::string> lines = Lines(without);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "Registers:");
  EXPECT_EQ(lines[1], std::string(13 + 2 * 16, '-'));
  EXPECT_EQ(lines[2].substr(3), ": ????   " + lines[2].substr(12, 3) + ": ????");
  EXPECT_EQ(lines[4].substr(3), ": ????   " + lines[4].substr(12, 3) + ": 0000000000007F00");
  EXPECT_EQ(lines[5].substr(3), ": ????   " + lines[5].substr(12, 3) + ": 0000000000000010");
  EXPECT_EQ(lines[6], "");
  EXPECT_EQ(lines[7], std::string("Stack:") + std::string(31, ' ') + "Memory Dump:");
  EXPECT_EQ(lines[8], std::string(34, '-') + "   " + std::string(83, '-'));

  capture.stack_read = capture.memory_read = true;
  capture.stack_address = 0x7f00;
  for (size_t i = 0; i < kStackWords; ++i) capture.stack_words[i] = i;
  for (size_t i = 0; i < kMemoryBytes; ++i) capture.memory[i] = static_cast<uint8_t>(i);
  const std::vector<std::string> dumped = Lines(CpuText(capture, TCustomizedTexts()));
  ASSERT_EQ(dumped.size(), 9u + 16);
  EXPECT_EQ(dumped[9], "0000000000007F00: 0000000000000000   0000000000000010: "
                       "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F  ................");
  EXPECT_EQ(dumped[13].substr(0, 55), "0000000000007F20: 0000000000000004   0000000000000050: ");
  EXPECT_EQ(dumped[13].substr(55 + 48), " @ABCDEFGHIJKLMNO");
  EXPECT_EQ(dumped[24].substr(55 + 48), " ................");  // codes above 126 as dots
}

TEST(WholeReport, SectionsInOrderAndNoSeparatorInside) {
  TReportFacts facts = SampleFacts();
  facts.message = "one\r\n\r\n\r\n\r\ntwo";  // would split the log file
  facts.controls.form_text = "a\r\n\r\n\r\n\r\nb";
  TModuleEntry module;
  module.name = "x\r\n\r\n\r\n\r\n.so";
  TStackEntry frame;
  frame.procedure = "f\r\n\r\n\r\n\r\n";
  TReport report;
  report.Build(facts, TCustomizedTexts(), kAllReportFields, {frame}, {module}, TRaiseCapture());
  EXPECT_EQ(report.text.rfind("Ravlog 4.5.4\r\n\r\nApplication:\r\n", 0), 0u);
  const size_t stack = report.text.find("\r\n\r\nCall Stack Information:\r\n");
  const size_t modules = report.text.find("\r\nModules Information:\r\n");
  const size_t cpu = report.text.find("-\r\n\r\nRegisters:\r\n");
  EXPECT_LT(stack, modules);
  EXPECT_LT(modules, cpu);
  EXPECT_EQ(report.text.find("\r\n\r\n\r\n"), std::string::npos);
  EXPECT_NE(report.text.find("2.5 Message: one        two."), std::string::npos);
}

}  // namespace
}  // namespace tavrik::exlog
