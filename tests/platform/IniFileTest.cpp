#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/IniFile.h"
#include "tests/support/TempDir.h"

namespace tavrik {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteAll(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class IniFileTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::string path = dir.File("Client.ini");
};

TEST_F(IniFileTest, ReadsWithWindowsMatchingRules) {
  WriteAll(path,
           "; a comment\r\n"
           "[server]\r\n"
           "  HOST = db.example  \r\n"
           "Quoted=\"  padded  \"\r\n"
           "Compression=0x10\r\n"
           "[CLIENT]\n"
           "UserID=clerk1\n"
           "Password=\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("SERVER", "host", "x"), "db.example");
  EXPECT_EQ(ini.ReadString("Server", "Quoted", "x"), "  padded  ");
  EXPECT_EQ(ini.ReadInteger("SERVER", "Compression", 0), 16);
  EXPECT_EQ(ini.ReadString("client", "USERID", "x"), "clerk1");
  EXPECT_EQ(ini.ReadString("CLIENT", "Password", "x"), "");  // present but empty is not absent
  EXPECT_EQ(ini.ReadString("CLIENT", "Host", "dflt"), "dflt");  // keys belong to their section
  EXPECT_EQ(ini.ReadString("NOPE", "Host", "dflt"), "dflt");
}

TEST_F(IniFileTest, MissingFileGivesDefaults) {
  TIniFile ini(dir.File("absent.ini"));
  EXPECT_EQ(ini.ReadString("S", "K", "d"), "d");
  EXPECT_TRUE(ini.ReadBool("S", "K", true));
}

TEST_F(IniFileTest, BooleansAreIntegersAndNonNumbersGiveTheDefault) {
  struct Case {
    const char* value;
    bool fallback, expected;
  } cases[] = {{"0", true, false}, {"1", false, true}, {"-3", false, true}, {"0x0", true, false},
               {"abc", true, true}, {"abc", false, false}, {"", true, true}, {"1x", false, false}};
  for (const auto& c : cases) {
    WriteAll(path, std::string("[S]\nB=") + c.value + "\n");
    EXPECT_EQ(TIniFile(path).ReadBool("S", "B", c.fallback), c.expected) << c.value;
  }
}

TEST_F(IniFileTest, SectionKeysInFileOrderOnceEach) {
  WriteAll(path,
           "[Accounts]\n"
           "; a comment=not a key\n"
           "PORTAL=qz7rmw\n"
           "clerk1 = x\n"
           "[OTHER]\n"
           "Stray=1\n"
           "[ACCOUNTS]\n"
           "portal=again\n"
           "=no key\n"
           "Guest=\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadSection("accounts"), (std::vector<std::string>{"PORTAL", "clerk1", "Guest"}));
  EXPECT_EQ(ini.ReadSection("Other"), (std::vector<std::string>{"Stray"}));
  EXPECT_TRUE(ini.ReadSection("NOPE").empty());
  EXPECT_TRUE(TIniFile(dir.File("absent.ini")).ReadSection("Accounts").empty());
}

TEST_F(IniFileTest, ValuesAreCutAt2047Characters) {
  WriteAll(path, "[S]\nK=" + std::string(3000, 'v') + "\n");
  EXPECT_EQ(TIniFile(path).ReadString("S", "K", "").size(), 2047u);
}

TEST_F(IniFileTest, WritesReplaceInPlaceAndKeepForeignLines) {
  WriteAll(path, "; keep me\r\n[SERVER]\r\nhost=old\r\nOther=1\r\n\r\n[CLIENT]\r\nUserID=a\r\n");
  TIniFile ini(path);
  ini.WriteString("server", "HOST", "new");
  ini.WriteString("SERVER", "Compression", "1");
  ini.WriteString("EXTRA", "Key", "v");
  EXPECT_EQ(ReadAll(path),
            "; keep me\r\n[SERVER]\r\nHOST=new\r\nOther=1\r\nCompression=1\r\n\r\n[CLIENT]\r\nUserID=a\r\n"
            "\r\n[EXTRA]\r\nKey=v\r\n");
  EXPECT_EQ(ini.ReadString("SERVER", "Compression", ""), "1");
}

TEST_F(IniFileTest, NewFileIsPrivateAndNoTemporaryIsLeft) {
  TIniFile ini(path, true);
  ini.WriteString("CLIENT", "Password", "secret");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) ++files, (void)e;
  EXPECT_EQ(files, 1);
}

TEST_F(IniFileTest, ExistingFileKeepsItsMode) {
  WriteAll(path, "[S]\nK=1\n");
  chmod(path.c_str(), 0644);
  TIniFile(path, true).WriteString("S", "K", "2");
  struct stat st {};
  stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(IniFileTest, UnwritableFileRaisesWithItsName) {
  std::string bad = dir.File("missing-folder/Client.ini");
  TIniFile ini(bad);
  try {
    ini.WriteString("S", "K", "v");
    FAIL() << "no exception";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + bad);
  }
}

}  // namespace
}  // namespace tavrik
