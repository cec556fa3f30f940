// The report's mail against a real SMTP server (aiosmtpd): the message it receives parses with
// Python's email package, and the attachments decode to the bytes sent.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "exlog/ESmtp.h"
#include "tests/server/ChildProcess.h"
#include "tests/support/ReadFile.h"
#include "tests/support/TempDir.h"

namespace tavrik::exlog {
namespace {

class AiosmtpdTest : public ::testing::Test {
 protected:
  // Starts the server; with a user it asks for a login.
  uint16_t StartServer(const std::vector<std::string>& credentials = {}) {
    std::vector<std::string> argv = {"/usr/bin/python3", SMTP_SINK, received.Path()};
    argv.insert(argv.end(), credentials.begin(), credentials.end());
    server = std::make_unique<testing::TChildProcess>(argv);
    std::optional<std::string> port = server->ReadLine(std::chrono::seconds(20));
    EXPECT_TRUE(port) << server->Stderr();
    return port ? static_cast<uint16_t>(std::stoi(*port)) : 0;
  }
  void TearDown() override {
    if (server) {
      server->CloseStdin();
      EXPECT_EQ(server->WaitExit(std::chrono::seconds(20)), 0) << server->Stderr();
    }
  }

  bool Send(uint16_t port, const std::string& user = "", const std::string& password = "") {
    TCustomizedTexts texts;
    TSmtpSender sender(texts, nullptr, [this](const std::string& kind, const std::string& text) {
      warnings.push_back(kind + ": " + text);
    });
    sender.TimeOut = 10000;
    return sender.SendSmtp(false, "logger@example.com", "127.0.0.1", {report, png},
                           "Er is een fout opgetreden.\r\n.\r\nZie de bijlagen.", "Tavrik error report",
                           "jan@example.org;piet@example.net", password, user, port);
  }

  testing::TempDir files;
  testing::TempDir received;
  std::unique_ptr<testing::TChildProcess> server;
  std::vector<std::string> warnings;
  const std::string report = files.File("tavrik.rlf");
  const std::string png = files.File("Screenshot.png");
  const std::string report_bytes = "Ravlog 4.5.4\r\n\r\n.\r\n" + std::string(5000, 'r') + "\r\n";
  const std::string png_bytes = [] {
    std::string bytes;
    for (int i = 0; i < 3000; ++i) bytes += static_cast<char>(i * 7 % 256);
    return bytes;
  }();

  void SetUp() override {
    std::ofstream(report, std::ios::binary) << report_bytes;
    std::ofstream(png, std::ios::binary) << png_bytes;
  }
};

TEST_F(AiosmtpdTest, TheMessageParsesAndItsAttachmentsDecodeToTheBytesSent) {
  const uint16_t port = StartServer();
  ASSERT_TRUE(Send(port));
  EXPECT_TRUE(warnings.empty()) << warnings[0];
  for (int n : {0, 1}) {
    const std::string prefix = received.File(std::to_string(n));
    EXPECT_EQ(testing::ReadFile(prefix + ".txt"),
              std::string("mail-from=logger@example.com\nrcpt-to=") + (n == 0 ? "jan@example.org" : "piet@example.net") +
                  "\nsubject=Tavrik error report\nfrom=logger@example.com\nto=" +
                  (n == 0 ? "jan@example.org" : "piet@example.net") +
                  "\ncontent-type=multipart/mixed\nx-library=Ravlog 4.5.4\n"
                  "text=text/plain 'Er is een fout opgetreden.\\r\\n.\\r\\nZie de bijlagen.'\n"
                  "attachment=application/octet-stream tavrik.rlf\nattachment=image/png Screenshot.png\n");
    EXPECT_EQ(testing::ReadFile(prefix + "-tavrik.rlf"), report_bytes);
    EXPECT_EQ(testing::ReadFile(prefix + "-Screenshot.png"), png_bytes);
  }
}

TEST_F(AiosmtpdTest, AuthLoginWithTheRightAndTheWrongPassword) {
  const std::string user = "reporter-with-a-rather-long-user-name@mail.example.com";
  const uint16_t port = StartServer({user, "geheim wachtwoord"});
  EXPECT_FALSE(Send(port, user, "fout"));
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find("535 5.7.8 Authentication credentials invalid"), std::string::npos) << warnings[0];
  warnings.clear();
  EXPECT_TRUE(Send(port, user, "geheim wachtwoord"));
  EXPECT_TRUE(warnings.empty()) << warnings[0];
  EXPECT_EQ(testing::ReadFile(received.File("1-Screenshot.png")), png_bytes);
}

}  // namespace
}  // namespace tavrik::exlog
