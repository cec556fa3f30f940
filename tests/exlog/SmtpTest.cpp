// The SMTP dialogue against a scripted peer: both ways of greeting, AUTH LOGIN, every reply that
// ends a conversation, silence, one conversation per recipient, and the message's data.
#include <gtest/gtest.h>

#include <fstream>

#include "exlog/EDns.h"
#include "exlog/EMime.h"
#include "exlog/ESmtp.h"
#include "platform/DnsServers.h"
#include "platform/SystemInfo.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TempDir.h"

namespace tavrik::exlog {
namespace {

using testing::ScriptedPeer;

class RecordingProgress : public TSendProgress {
 public:
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void SetPosition(int position, int maximum) override { positions.emplace_back(position, maximum); }
  std::vector<std::string> statuses;
  std::vector<std::pair<int, int>> positions;
};

class SmtpTest : public ::testing::Test {
 protected:
  bool Send(uint16_t port, const std::string& recipients, const std::string& user = "",
            const std::string& password = "", const std::string& body = "Body text",
            const std::vector<std::string>& attachments = {}, bool direct = false) {
    TSmtpSender sender(texts, &progress, [this](const std::string& kind, const std::string& text) {
      warnings.push_back(kind + ": " + text);
    });
    sender.TimeOut = 400;
    return sender.SendSmtp(direct, "logger@example.com", "127.0.0.1", attachments, body, "Report", recipients,
                           password, user, port);
  }

  TCustomizedTexts texts;
  RecordingProgress progress;
  std::vector<std::string> warnings;
  const std::string host = platform::ComputerName();
};

TEST_F(SmtpTest, WithoutCredentialsHeloAndNoLogin) {
  ScriptedPeer peer;
  peer.Conversation("251 will forward\r\n").Start();
  EXPECT_TRUE(Send(peer.Port(), "jan@example.org"));
  EXPECT_EQ(peer.Finish(), "");
  EXPECT_EQ(peer.Lines(), (std::vector<std::string>{"HELO " + host, "RSET", "MAIL FROM:<logger@example.com>",
                                                    "RCPT TO:<jan@example.org>", "DATA"}));
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(progress.statuses, (std::vector<std::string>{"Message 1/1: Connecting with SMTP server...",
                                                         "Message 1/1: Connected with SMTP server.",
                                                         "Message 1/1: Sending message..."}));
}

TEST_F(SmtpTest, AuthLoginAnswersAreOneLineEachAndThePasswordIsNeverRecorded) {
  const std::string user(70, 'u');  // longer than one Base64 line of a message
  const std::string password = "p@ss" + std::string(66, 'w');
  ScriptedPeer peer;
  peer.Accept()
      .Send("220 ready\r\n")
      .ExpectLine("EHLO " + host)
      .Send("250-peer greets you\r\n250-AUTH LOGIN PLAIN\r\n250 OK\r\n")  // a reply of three lines
      .ExpectLine("RSET")
      .Send("250 reset\r\n")
      .ExpectLine("AUTH LOGIN")
      .Send("334 VXNlcm5hbWU6\r\n")
      .ExpectLine(Base64Line(user))
      .Send("334 UGFzc3dvcmQ6\r\n")
      .ExpectLine(Base64Line(password))
      .Send("535 authentication failed\r\n")
      .ExpectClosed();
  peer.Start();
  EXPECT_FALSE(Send(peer.Port(), "jan@example.org", user, password));
  EXPECT_EQ(peer.Finish(), "");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("535 authentication failed"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find("********"), std::string::npos);
  EXPECT_EQ(warnings[0].find(Base64Line(password)), std::string::npos);
  EXPECT_EQ(warnings[0].find(password), std::string::npos);
}

TEST_F(SmtpTest, LoginThenTheMessage) {
  ScriptedPeer peer;
  peer.Accept()
      .Send("220 ready\r\n")
      .ReadLine()
      .Send("250 OK\r\n")
      .ExpectLine("RSET")
      .Send("250 OK\r\n")
      .ExpectLine("AUTH LOGIN")
      .Send("334 VXNlcm5hbWU6\r\n")
      .ExpectLine(Base64Line(""))  // a password alone is enough to log in
      .Send("334 UGFzc3dvcmQ6\r\n")
      .ExpectLine(Base64Line("secret"))
      .Send("235 welcome\r\n")
      .ExpectLine("MAIL FROM:<logger@example.com>")
      .Send("250 OK\r\n")
      .ExpectLine("RCPT TO:<jan@example.org>")
      .Send("250 OK\r\n")
      .ExpectLine("DATA")
      .Send("354 go\r\n")
      .ReadData()
      .Send("250 queued\r\n")
      .ExpectClosed();
  peer.Start();
  EXPECT_TRUE(Send(peer.Port(), "jan@example.org", "", "secret"));
  EXPECT_EQ(peer.Finish(), "");
  EXPECT_TRUE(warnings.empty()) << warnings[0];
}

TEST_F(SmtpTest, EachRefusalEndsTheConversation) {
  // The step refused, by the number of replies that come before the refusal.
  const std::vector<std::string> good = {"220 ready", "250 hello", "250 reset", "250 sender", "250 rcpt", "354 go"};
  for (size_t refused = 0; refused <= good.size(); ++refused) {
    SCOPED_TRACE(refused);
    warnings.clear();
    ScriptedPeer peer;
    peer.Accept();
    for (size_t i = 0; i < refused; ++i) {
      peer.Send(good[i] + "\r\n");
      if (i + 1 < good.size()) peer.ReadLine();
      else peer.ReadData();
    }
    peer.Send("554 no\r\n").ExpectClosed().Start();
    EXPECT_FALSE(Send(peer.Port(), "jan@example.org"));
    EXPECT_EQ(peer.Finish(), "");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("SMTP: jan@example.org: ", 0), 0u) << warnings[0];
    EXPECT_NE(warnings[0].find("554 no"), std::string::npos) << warnings[0];
  }
}

TEST_F(SmtpTest, SilenceAndAClosedPort) {
  ScriptedPeer peer;
  peer.Accept().ExpectClosed().Start();  // never greets
  EXPECT_FALSE(Send(peer.Port(), "jan@example.org"));
  EXPECT_EQ(peer.Finish(), "");
  uint16_t closed_port = 0;
  {
    ScriptedPeer gone;  // its port is free again once it has gone
    closed_port = gone.Port();
  }
  EXPECT_FALSE(Send(closed_port, "jan@example.org"));
  EXPECT_EQ(warnings, (std::vector<std::string>{"SMTP: jan@example.org: Socket timeout.",
                                                "SMTP: jan@example.org: Connection error: \"Connection refused.\""}));
}

TEST_F(SmtpTest, OneConversationPerRecipientEitherAcceptedIsEnough) {
  ScriptedPeer peer;
  peer.Accept()
      .Send("220 ready\r\n").ReadLine().Send("250 OK\r\n").ReadLine().Send("250 OK\r\n").ReadLine()
      .Send("250 OK\r\n").ExpectLine("RCPT TO:<first@example.org>").Send("550 unknown\r\n").ExpectClosed();
  peer.Conversation().Start();
  EXPECT_TRUE(Send(peer.Port(), " first@example.org ;; second@example.org;"));
  EXPECT_EQ(peer.Finish(), "");
  EXPECT_EQ(peer.Lines().at(7), "RCPT TO:<second@example.org>");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("550 unknown"), std::string::npos);
  EXPECT_NE(std::find(progress.statuses.begin(), progress.statuses.end(), "Message 2/2: Sending message..."),
            progress.statuses.end());
}

TEST_F(SmtpTest, TheDataCannotEndTheMessageEarly) {
  testing::TempDir dir;
  const std::string png = dir.File("Screenshot.png"), report = dir.File("tavrik.rlf");
  std::ofstream(png, std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\xff", 10);
  std::ofstream(report, std::ios::binary) << "Ravlog 4.5.4\r\n.\r\nQUIT\r\n";
  ScriptedPeer peer;
  peer.Conversation().Start();
  EXPECT_TRUE(Send(peer.Port(), "jan@example.org", "", "", "first\n.\r\nRSET\r.hidden\r\n.", {report, png}));
  EXPECT_EQ(peer.Finish(), "");
  ASSERT_EQ(peer.Messages().size(), 1u);
  const std::string message = peer.Messages()[0];
  EXPECT_NE(message.find("\r\nfirst\r\n..\r\nRSET\r\n..hidden\r\n..\r\n"), std::string::npos) << message;
  EXPECT_EQ(message.find("\r\n.\r\n"), std::string::npos);
  EXPECT_NE(message.find("Content-Type: image/png;\r\n        name=\"Screenshot.png\"\r\n"), std::string::npos);
  EXPECT_NE(message.find("Content-Type: application/octet-stream;\r\n        name=\"tavrik.rlf\"\r\n"),
            std::string::npos);
  EXPECT_NE(message.find(Base64Lines("Ravlog 4.5.4\r\n.\r\nQUIT\r\n")), std::string::npos);
}

TEST_F(SmtpTest, DirectToTheRecipientsMailExchanger) {
  ScriptedPeer peer;
  peer.Conversation().Start();
  testing::ScriptedDnsServer dns([](const std::string& q) {
    std::string answer = q.substr(0, 2) + std::string("\x81\x80\0\x01\0\x01\0\0\0\0", 10) + q.substr(12);
    const std::string exchange("\x03" "127" "\x01" "0" "\x01" "0" "\x01" "1" "\0", 11);  // 127.0.0.1
    answer += std::string("\xC0\x0C\0\x0F\0\x01\0\0\0\x3c\0\x0d\0\x0a", 14) + exchange;
    return std::vector<std::string>{answer};
  });
  platform::SetDnsServers([&] { return std::vector<platform::TDnsServer>{{"127.0.0.1", dns.Port()}}; });
  EXPECT_TRUE(Send(peer.Port(), "jan@example.org", "", "", "Body", {}, true));
  platform::SetDnsServers(nullptr);
  EXPECT_EQ(peer.Finish(), "");
  EXPECT_EQ(progress.statuses.at(0), "Message 1/1: Resolving MX record...");
  EXPECT_EQ(dns.Queries(), std::vector<std::string>{*MxQuery("example.org")});
}

TEST(Base64, LinesOfEightyAndOneLineAnswers) {
  EXPECT_EQ(Base64Lines(""), "");
  EXPECT_EQ(Base64Lines("M"), "TQ==\r\n");
  EXPECT_EQ(Base64Lines("Ma"), "TWE=\r\n");
  EXPECT_EQ(Base64Lines("Man"), "TWFu\r\n");
  const std::string sixty_one(61, 'a');
  const std::string lines = Base64Lines(sixty_one);
  EXPECT_EQ(lines.find("\r\n"), 80u);
  EXPECT_EQ(lines.substr(82), "YQ==\r\n");
  EXPECT_EQ(Base64Line(sixty_one).find('\n'), std::string::npos);
  EXPECT_EQ(Base64Line(sixty_one), lines.substr(0, 80) + "YQ==");
}

}  // namespace
}  // namespace tavrik::exlog
