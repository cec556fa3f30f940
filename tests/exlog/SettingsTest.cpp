// The settings: their defaults, their stream form, the packed block and the block stored in a
// module file.
#include <gtest/gtest.h>

#include "core/Streams.h"
#include "exlog/EModules.h"
#include "exlog/ESettingsBlock.h"
#include "exlog/ETypes.h"

namespace tavrik::exlog {
namespace {

TEST(Settings, Defaults) {
  const TRavlogModuleOptionsEx o;
  EXPECT_TRUE(o.LoggerActive);
  EXPECT_FALSE(o.FreezeCheckEnabled);
  EXPECT_EQ(o.FreezeTimeout, 60);
  EXPECT_EQ(o.FreezeMessage, "The application seems to be frozen.");
  EXPECT_EQ(o.SmtpPort, 25);
  EXPECT_EQ(o.EmailSendMode, esmNoEmail);
  EXPECT_TRUE(o.ShowSendProgress && o.ShowExceptionDialog && o.TerminateButtonRestarts && o.SaveLogFile);
  EXPECT_FALSE(o.ReportInMessageBody || o.AttachScreenshot || o.AskReproduceSteps);
  EXPECT_EQ(o.ErrorsInLogFile, 32);
  EXPECT_EQ(o.ReportFields, 0x7FFFFFu);
  EXPECT_EQ(o.ActivePage, 0);
  EXPECT_TRUE(o.ExceptionMessages.empty());
  EXPECT_EQ(o.CustomizedTexts[0], "Information.");
  EXPECT_EQ(o.CustomizedTexts[3],
            "An error has occurred during program execution.\r\nPlease read the following information for further details.");
  EXPECT_EQ(o.CustomizedTexts[14], "&Restart");
  EXPECT_EQ(o.CustomizedTexts[44], "Build #");
  EXPECT_EQ(o.CustomizedTexts[70], "Memory Dump");
}

TEST(Settings, EveryValueSurvivesItsStreamForm) {
  TRavlogModuleOptionsEx o;
  o.LoggerActive = false;
  o.FreezeTimeout = 5;
  o.SmtpHost = "mail.example.com";
  o.SmtpPassword = "p\\a=s|s\x01";
  o.EmailMessage = "Line one\r\nLine two\ttab";
  o.EmailSendMode = esmSmtpClient;
  o.ReportFields = 0x123;
  o.ExceptionMessages = {{"EAbort|Odd", "Stopped.\r\nBye"}, {"EMarvekError", ""}};
  o.CustomizedTexts[txError] = "Fout.";
  o.CustomizedTexts[txDialogMessage] = "Er ging iets mis.\r\nLees verder.";
  TMemoryStream stream;
  o.SaveToStream(stream);
  stream.SetPosition(0);
  TRavlogModuleOptionsEx back;
  back.LoadFromStream(stream);
  EXPECT_EQ(back, o);
  TRavlogModuleOptionsEx unpacked;
  UnpackSettingsBlock(PackSettingsBlock(o), unpacked);
  EXPECT_EQ(unpacked, o);
}

TEST(Settings, ReadingText) {
  TRavlogModuleOptionsEx o;
  o.LoadFromText("# comment\r\n\r\nemailsendmode = 2\nErrorsInLogFile=0\nSomethingNew=1\nText99=x\nText12=&Goed\n");
  EXPECT_EQ(o.EmailSendMode, esmSmtpServer);
  EXPECT_EQ(o.ErrorsInLogFile, 1);  // 0 is stored as 1
  EXPECT_EQ(o.CustomizedTexts[txOk], "&Goed");
  for (const char* bad : {"FreezeTimeout=soon", "no equals sign", "SmtpHost=a\\qb", "Text1=\\x4", "ExceptionMessage=NoBar"}) {
    TRavlogModuleOptionsEx fresh;
    try {
      fresh.LoadFromText(bad);
      ADD_FAILURE() << bad;
    } catch (const ERavlogSettingsError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("Invalid settings line: ") + bad);
    }
  }
}

TEST(SettingsBlock, DamagedBlocksAreRefused) {
  const std::string block = PackSettingsBlock(TRavlogModuleOptionsEx());
  for (const std::string& bad : {std::string(), std::string("not zlib at all"), block.substr(0, block.size() / 2)}) {
    TRavlogModuleOptionsEx o;
    EXPECT_THROW(UnpackSettingsBlock(bad, o), ERavlogSettingsError);
  }
}

TEST(SettingsBlock, StoredInTheModuleFile) {
  std::optional<TRavlogModuleOptionsEx> stored = ModuleSettings(EXLOG_TEST_PROGRAM);
  ASSERT_TRUE(stored);
  EXPECT_TRUE(stored->FreezeCheckEnabled);
  EXPECT_EQ(stored->FreezeTimeout, 1);
  EXPECT_EQ(stored->ErrorsInLogFile, 32);
  std::optional<TVersionInfo> info = ReadVersionInfo(EXLOG_TEST_PROGRAM);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->description, "Exlog test program");
  EXPECT_EQ(info->version, "1.2.3.4");
  EXPECT_FALSE(ModuleSettings("/bin/sh"));       // no block: the defaults apply
  EXPECT_FALSE(ModuleSettings(__FILE__));        // not a module at all
  EXPECT_FALSE(ModuleSettings("/no/such/file"));
}

}  // namespace
}  // namespace tavrik::exlog
