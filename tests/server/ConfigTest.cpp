#include <gtest/gtest.h>

#include <fstream>

#include "server/CommandLine.h"
#include "server/Config.h"
#include "tests/support/TempDir.h"

namespace tavrik::server {
namespace {

class ConfigTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string Error(const std::string& text) {
    try {
      LoadServerConfig(Write(text));
    } catch (const EServerConfig& e) {
      return e.Message();
    }
    return "accepted";
  }
  testing::TempDir dir;
  std::string path = dir.File("marvekd.ini");
};

TEST_F(ConfigTest, EveryKeyIsRead) {
  TServerConfig c = LoadServerConfig(Write(
      "[Server]\r\nAddress=0.0.0.0\r\nPort=9000\r\nMaxUsers=3\r\nMaxClients=5\r\nMaxPayload=64K\r\n"
      "MaxUpload=1g\r\nIdleTimeout=7\r\nLoginTimeout=4\r\nFrameTimeout=6\r\nLoginDelay=250\r\n"
      "MaxLoginFailures=5\r\nMaxWorkAreas=40\r\nLogFile=/tmp/x.log\r\nVerbose=1\r\n"
      "[ACCOUNTS]\r\nPORTAL=qz7rmw\r\nclerk1= Pass Word \r\n"
      "[files]\r\nFiles=/srv/files\r\n[ALIASES]\r\nFILES=/srv/data\r\n"));
  EXPECT_EQ(c.address, "0.0.0.0");
  EXPECT_EQ(c.port, 9000);
  EXPECT_EQ(c.max_users, 3);
  EXPECT_EQ(c.max_clients, 5);
  EXPECT_EQ(c.max_payload, 65536u);
  EXPECT_EQ(c.max_upload, 1ull << 30);
  EXPECT_EQ(c.idle_timeout, std::chrono::seconds(7));
  EXPECT_EQ(c.login_timeout, std::chrono::seconds(4));
  EXPECT_EQ(c.frame_timeout, std::chrono::seconds(6));
  EXPECT_EQ(c.login_delay, std::chrono::milliseconds(250));
  EXPECT_EQ(c.max_login_failures, 5);
  EXPECT_EQ(c.max_work_areas, 40);
  EXPECT_EQ(c.log_file, "/tmp/x.log");
  EXPECT_TRUE(c.verbose);
  EXPECT_EQ(c.accounts.Find("portal"), "qz7rmw");
  EXPECT_EQ(c.accounts.Find("CLERK1"), "Pass Word");  // blanks around a value are not part of it
  EXPECT_EQ(c.accounts.Find("nobody"), std::nullopt);
  EXPECT_EQ(c.file_areas.Find("FILES"), "/srv/files");
  EXPECT_EQ(c.aliases.Find("files"), "/srv/data");
}

TEST_F(ConfigTest, MissingKeysKeepTheDefaults) {
  TServerConfig c = LoadServerConfig(Write("; nothing but a comment\n"));
  EXPECT_EQ(c.address, "127.0.0.1");
  EXPECT_EQ(c.port, 8121);
  EXPECT_EQ(c.max_users, 10);
  EXPECT_EQ(c.max_payload, 16u << 20);
  EXPECT_EQ(c.max_upload, 2ull << 30);
  // A logged-in user may read a message box for long; a frame and a login get little time.
  EXPECT_EQ(c.idle_timeout, std::chrono::hours(1));
  EXPECT_EQ(c.login_timeout, std::chrono::seconds(10));
  EXPECT_EQ(c.frame_timeout, std::chrono::seconds(30));
  EXPECT_EQ(c.login_delay, std::chrono::seconds(1));
  EXPECT_EQ(c.max_login_failures, 3);
  EXPECT_EQ(c.max_work_areas, 256);
  EXPECT_FALSE(c.verbose);
  EXPECT_TRUE(c.accounts.Empty());
}

TEST_F(ConfigTest, BadValuesNameTheFileTheKeyAndTheValue) {
  struct Case {
    const char* text;
    std::string message;
  } cases[] = {
      {"[SERVER]\nPort=70000\n", "Port: not a number from 0 to 65535: 70000"},
      {"[SERVER]\nPort=80a\n", "Port: not a number from 0 to 65535: 80a"},
      {"[SERVER]\nMaxUsers=0\n", "MaxUsers: not a number from 1 to 100000: 0"},
      {"[SERVER]\nIdleTimeout=-1\n", "IdleTimeout: not a number from 1 to 86400: -1"},
      {"[SERVER]\nFrameTimeout=0\n", "FrameTimeout: not a number from 1 to 3600: 0"},
      {"[SERVER]\nMaxWorkAreas=0\n", "MaxWorkAreas: not a number from 1 to 65535: 0"},
      {"[SERVER]\nMaxPayload=16 MB\n", "MaxPayload: not a size: 16 MB"},
      {"[SERVER]\nMaxPayload=4095\n", "MaxPayload: must be at least 4K"},
      {"[SERVER]\nMaxUpload=3G\n", "MaxUpload: must be at most 2G"},
      {"[SERVER]\nAddress=db.example\n", "Address: not an IPv4 address: db.example"},
  };
  for (const auto& c : cases) EXPECT_EQ(Error(c.text), path + ": " + c.message) << c.text;
  EXPECT_EQ(Error("[SERVER]\nAddress=localhost\nMaxUpload=2G\n"), "accepted");
}

TEST_F(ConfigTest, AnUnreadableFileIsAnError) {
  try {
    LoadServerConfig(dir.File("absent.ini"));
    FAIL();
  } catch (const EServerConfig& e) {
    EXPECT_EQ(e.Message(), "Cannot read configuration " + dir.File("absent.ini"));
  }
}

TEST(ParseSize, DecimalBytesWithBinarySuffixes) {
  EXPECT_EQ(ParseSize("1234"), 1234u);
  EXPECT_EQ(ParseSize(" 64k "), 65536u);
  EXPECT_EQ(ParseSize("16M"), 16u << 20);
  EXPECT_EQ(ParseSize("2G"), 2ull << 30);
  for (const char* bad : {"", "K", "-1", "1.5M", "12T", "0x10", "99999999999999", "1025G"})
    EXPECT_EQ(ParseSize(bad), std::nullopt) << bad;
}

TEST(CommandLine, OptionsWinOverTheFile) {
  testing::TempDir dir;
  std::ofstream(dir.File("m.ini")) << "[SERVER]\nPort=9000\nAddress=0.0.0.0\n";
  TCommandLine c = ParseCommandLine({"--config", dir.File("m.ini"), "--port", "0", "--verbose"});
  TServerConfig config = c.MakeConfig();
  EXPECT_EQ(config.port, 0);
  EXPECT_EQ(config.address, "0.0.0.0");
  EXPECT_TRUE(config.verbose);
  EXPECT_EQ(ParseCommandLine({"--address", "127.0.0.2"}).MakeConfig().address, "127.0.0.2");
  EXPECT_EQ(ParseCommandLine({"--init-demo", "/tmp/d"}).init_demo_dir, "/tmp/d");
}

TEST(CommandLine, MistakesAreReported) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"--port"}, "--port needs a value"},
      {{"--port", "65536"}, "--port: not a port number: 65536"},
      {{"--port", "-1"}, "--port: not a port number: -1"},
      {{"--port", "http"}, "--port: not a port number: http"},
      {{"--config"}, "--config needs a value"},
  };
  for (const auto& c : cases) {
    try {
      ParseCommandLine(c.args);
      ADD_FAILURE() << c.message;
    } catch (const ECommandLine& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
  try {
    ParseCommandLine({"--address", "nowhere"}).MakeConfig();
    ADD_FAILURE();
  } catch (const EServerConfig& e) {
    EXPECT_EQ(e.Message(), "Address: not an IPv4 address: nowhere");
  }
}

}  // namespace
}  // namespace tavrik::server
