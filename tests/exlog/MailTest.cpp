// Sending through the desktop: the mail client with its attachments from a private folder, the
// mailto handler with a percent-encoded text, each run without a shell, and the warnings when
// they fail.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/Exception.h"
#include "exlog/ECapture.h"
#include "exlog/EMail.h"
#include "exlog/ExceptionLog.h"
#include "platform/Desktop.h"
#include "tests/support/ReadFile.h"
#include "tests/support/TempDir.h"

namespace tavrik::exlog {
namespace {

std::vector<std::string> SplitNul(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
    parts.push_back(text.substr(start, end - start));
  return parts;
}

class MailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options.EmailSendMode = esmEmailClient;
    options.EmailAddresses = "jan@example.org; piet@example.net";
    options.EmailSubject = "Fout & crash?";
    options.EmailMessage = "Zie bijlage & log";
    previous = platform::SetDesktopCommands({Fake("mail", 0), Fake("url", 0)});
  }
  void TearDown() override { platform::SetDesktopCommands(previous); }

  // A stand-in for a desktop command: it writes its arguments (each ended by a NUL) to
  // "<name>.args", the mode and name of each attachment's folder and the attachment itself to
  // "<name>.attach", and ends with `exit_code`.
  std::string Fake(const std::string& name, int exit_code) {
    const std::string script = dir.File(name);
    std::ofstream(script) << "#!/bin/sh\n"
                          << "for a in \"$@\"; do printf '%s\\0' \"$a\" >> '" << script << ".args'; done\n"
                          << "previous=\nfor a in \"$@\"; do\n"
                          << "  if [ \"$previous\" = --attach ]; then stat -c '%a %n' \"$(dirname \"$a\")\" >> '" << script
                          << ".attach'; cat \"$a\" >> '" << script << ".attach'; fi\n"
                          << "  previous=$a\ndone\nexit " << exit_code << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return script;
  }

  bool Send(const TReportMail& mail) {
    return SendReport(options, mail, nullptr, [this](const std::string& kind, const std::string& text) {
      warnings.push_back(kind + ": " + text);
    });
  }

  testing::TempDir dir;
  testing::TempDir attachments;
  TRavlogModuleOptionsEx options;
  platform::TDesktopCommands previous;
  std::vector<std::string> warnings;
};

TEST_F(MailTest, TheMailtoTextIsPercentEncoded) {
  options.EmailAddresses = "jan@example.org;  piet+x@example.net;";
  options.EmailSubject = "Fout \xE9 crash?";  // Windows-1252: e acute
  TReportMail mail{"R\r\n1 = 2 & 3?#", "klik\nop OK", "tavrik.rlf", "", ""};
  EXPECT_EQ(MailtoUrl(options, mail),
            "mailto:jan@example.org,piet%2Bx@example.net?Subject=Fout%20%C3%A9%20crash%3F"
            "&Body=Zie%20bijlage%20%20log%0D%0A%0D%0A%0D%0AR%0D%0A1%20%3D%202%20%26%203%3F%23"
            "%0D%0A%0D%0A%0D%0Aklik%0D%0Aop%20OK");
}

TEST_F(MailTest, TheMailClientGetsEveryArgumentAsItIs) {
  std::ofstream(attachments.File("Screenshot.png")) << "PNG";
  TReportMail mail{"Ravlog 4.5.4\r\n$(touch hacked) `id` \"quoted\"", "", "tavrik.rlf",
                   attachments.File("Screenshot.png"), attachments.Path()};
  EXPECT_TRUE(Send(mail));
  EXPECT_EQ(SplitNul(testing::ReadFile(dir.File("mail.args"))),
            (std::vector<std::string>{"--utf8", "--subject", "Fout & crash?", "--body", "Zie bijlage & log",
                                      "--attach", attachments.File("tavrik.rlf"), "--attach",
                                      attachments.File("Screenshot.png"), "jan@example.org", "piet@example.net"}));
  EXPECT_NE(testing::ReadFile(dir.File("mail.attach")).find(mail.report), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("url.args")));  // no need of the mailto handler
  EXPECT_FALSE(std::filesystem::exists("hacked"));
  EXPECT_TRUE(warnings.empty());
}

TEST_F(MailTest, AMailClientThatFailsLeavesItToTheMailtoHandler) {
  TReportMail mail{"Ravlog 4.5.4", "", "tavrik.rlf", "", attachments.Path()};
  platform::SetDesktopCommands({Fake("mail", 3), Fake("url", 0)});
  EXPECT_TRUE(Send(mail));
  EXPECT_EQ(SplitNul(testing::ReadFile(dir.File("url.args"))), std::vector<std::string>{MailtoUrl(options, mail)});
  platform::SetDesktopCommands({dir.File("no-such-client"), Fake("url", 5)});
  EXPECT_FALSE(Send(mail));
  EXPECT_EQ(warnings, (std::vector<std::string>{"MAPI: Cannot send the MAPI message.",
                                                "MAPI: Cannot open the MAPI dll. No such file or directory",
                                                "Mail: The mail handler ended with exit code 5."}));
}

TEST_F(MailTest, AReportsAttachmentsLiveInAPrivateFolderThatGoesAfterwards) {
  TAVRIK_EXCEPTION(EUploadFailed, Exception);
  options.ShowExceptionDialog = false;  // a console program: the box's defaults apply
  options.OutputPath = dir.Path();
  TExceptionLog log(options, TProgramFacts::Current(0, nullptr));
  try {
    throw EUploadFailed("Upload failed");
  } catch (...) {
    log.HandleException(DescribeCurrentException());
  }
  const std::string attach = testing::ReadFile(dir.File("mail.attach"));
  ASSERT_EQ(attach.rfind("700 ", 0), 0u) << attach;
  const std::string folder = attach.substr(4, attach.find('\n') - 4);
  EXPECT_EQ(folder.rfind(std::filesystem::temp_directory_path().string() + "/ravlog-", 0), 0u) << folder;
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_NE(attach.find("Message: Upload failed."), std::string::npos);
  EXPECT_EQ(SplitNul(testing::ReadFile(dir.File("mail.args"))).at(6), folder + "/exlog_tests.rlf");
}

}  // namespace
}  // namespace tavrik::exlog
