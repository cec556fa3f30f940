// Message texts, ShowZipMessage, EZipwright and the password dialog without a port.
#include <gtest/gtest.h>

#include "tests/support/ScriptedDialogs.h"
#include "zip/PasswordDlg.h"
#include "zip/ZipText.h"
#include "zip/ZipWrt.h"

namespace tavrik {
namespace {

TEST(ZipText, TextsAndFallbacks) {
  const std::pair<int, std::string> cases[] = {
      {zmCopying, "Copying: "},
      {zmInsertDiskOf, "Please insert disk volume %.1d of %.1d"},
      {zmInDrive, "\r\nin drive: %s"},
      {zmCentralDirectory, "Central directory"},
      {zmPwdCaption, "Wachtwoord"},
      {zmEngineLoadFailed, "ZipTextXX.res is probably not linked to the executable\nMissing String ID is: 10604"},
      {12345, "ZipTextXX.res is probably not linked to the executable\nMissing String ID is: 12345"},
  };
  for (const auto& [number, text] : cases) EXPECT_EQ(ZipMessageText(number), text) << number;
  EXPECT_EQ(ZipMessageText(zmCopying, "given"), "given");  // the program has no text for it
  EXPECT_EQ(ZipMessageText(zmPwdOkButton, "given"), "OK");
}

TEST(ZipText, ErrorsCarryTheirNumber) {
  EZipwright plain(zmOpenArchive, false);
  EXPECT_EQ(plain.Number(), zmOpenArchive);
  EXPECT_FALSE(plain.Display());
  EXPECT_EQ(plain.Message(), ZipGeneralFallback(zmOpenArchive));
  EZipwright with_number(zmNoEndRecordOnDisk, 3);
  EXPECT_TRUE(with_number.Display());
  EXPECT_EQ(with_number.Message(), ZipGeneralFallback(zmNoEndRecordOnDisk));  // no text: no argument shown
  EZipwright with_text(zmPwdCaption, std::string("x"));
  EXPECT_EQ(with_text.Message(), "Wachtwoord");
  EXPECT_STREQ(with_text.ClassName(), "EZipwright");
}

TEST(ZipText, ShowZipMessageShowsAndReports) {
  testing::ScriptedDialogs boxes;
  TZipwright zip;
  std::vector<std::pair<int, std::string>> seen;
  zip.OnMessage = [&](TComponent*, int code, const std::string& text) { seen.emplace_back(code, text); };
  zip.ShowZipMessage(10999, " and more");
  const std::string text = ZipGeneralFallback(10999) + " and more";
  EXPECT_EQ(boxes.messages, std::vector<std::string>{text});
  EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{{0, text}}));
  EXPECT_EQ(zip.LastErrorCode(), 10999);
  EXPECT_EQ(zip.LastMessage(), text);
  zip.SetUnattended(true);
  zip.ShowZipMessage(zmNoFileSpecs);
  EXPECT_EQ(boxes.messages.size(), 1u);
  EXPECT_EQ(seen.size(), 2u);
}

TEST(PasswordDlg, WithoutAPortEveryDialogEndsAsCancel) {
  TPasswordDlg dialog(pbbCancel);
  EXPECT_EQ(dialog.ShowPwdDlg("caption", "prompt"), "");
  EXPECT_EQ(dialog.Result(), pbCancel);
}

}  // namespace
}  // namespace tavrik
