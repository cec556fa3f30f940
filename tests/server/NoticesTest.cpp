#include <gtest/gtest.h>

#include <thread>

#include "proto/MvFrame.h"
#include "server/AdminConsole.h"
#include "tests/server/ServerFixture.h"

namespace tavrik::testing {
namespace {

using NoticesTest = ServerTest;

TEST_F(NoticesTest, MessageAndProgressReachEveryClient) {
  Start();
  auto a = LoggedIn();
  TTestClient b(Port());  // connected, not logged in: notices are for every connection
  ASSERT_TRUE(captured.WaitFor("#2 connected"));

  EXPECT_EQ(server_->BroadcastMessage("Backup at 18:00"), 2);
  EXPECT_EQ(server_->BroadcastProgress(0, 1000, -1), 2);
  for (auto* c : {a.get(), &b}) {
    auto m = c->ReadFrame();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header + m->payload, "0000000F000000000301" "Backup at 18:00");
    auto p = c->ReadFrame();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->header + p->payload, "00000018000000000300" "00000000" "000003E8" "FFFFFFFF");
  }
  EXPECT_TRUE(captured.Has("message to 2 clients: Backup at 18:00"));
  EXPECT_TRUE(captured.Has("progress 0 1000 -1 to 2 clients"));
  // A notice may come before the reply of a request, which is still its own.
  server_->BroadcastMessage("x");
  ASSERT_TRUE(a->SendRequest("0054", FileFields("Files", "nothing")));
  std::vector<std::string> frames;
  for (int i = 0; i < 2; ++i) {
    auto f = a->ReadFrame();
    ASSERT_TRUE(f);
    frames.push_back(f->header + f->payload);
  }
  std::sort(frames.begin(), frames.end());
  EXPECT_EQ(frames, (std::vector<std::string>{"00000001000000000001N", "00000001000000000301x"}));
}

TEST_F(NoticesTest, ShutdownNotifiesEveryClientThenEnds) {
  Start();
  auto a = LoggedIn();
  TTestClient b(Port());
  ASSERT_TRUE(captured.WaitFor("#2 connected"));
  uint16_t port = Port();
  std::thread stopper([&] { server_->Shutdown(); });
  for (auto* c : {a.get(), &b}) {
    auto f = c->ReadFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->header, "00000000000000000302");
    EXPECT_TRUE(c->WaitClosed());  // the stream ends after the notice
    c->Close();
  }
  stopper.join();
  EXPECT_TRUE(server_->WaitStopped(0ms));
  EXPECT_TRUE(captured.Has("shutdown notice sent to 2 clients"));
  EXPECT_TRUE(captured.Has("stopped"));
  EXPECT_FALSE(TTestClient(port).Connected());  // no longer listening
  server_->Shutdown();  // again: nothing more happens
}

TEST_F(NoticesTest, ShutdownDoesNotWaitLongForAClientThatStaysConnected) {
  Start();
  auto a = LoggedIn();
  server_->Shutdown();  // `a` never reads and never closes: the grace ends, the connection too
  EXPECT_TRUE(captured.Has("#1 closed at shutdown (PORTAL)"));
  EXPECT_TRUE(a->WaitClosed());
}

TEST_F(NoticesTest, AClientThatStopsReadingDelaysNoNoticeToAnotherNorTheShutdown) {
  auto config = Config();
  config.frame_timeout = 60s;
  config.idle_timeout = 60s;
  Start(config);
  TTestClient stalled(Port(), 4096);  // first in line for every notice
  ASSERT_TRUE(stalled.Login("PORTAL", "qz7rmw"));
  auto reader = LoggedIn();
  // Far more than the socket buffers hold: the write to `stalled` cannot finish.
  std::string big(16 << 20, 'n');
  EXPECT_EQ(server_->BroadcastMessage(big), 2);
  auto f = reader->ReadFrame(30s);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->payload.size(), big.size());
  // The next notice reaches the reader while the writer of `stalled` is still stuck.
  EXPECT_EQ(server_->BroadcastMessage("ping"), 2);
  auto g = reader->ReadFrame(2s);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->code + g->payload, "0301ping");
  std::thread stopper([&] { server_->Shutdown(); });
  EXPECT_TRUE(server_->WaitStopped(2s + server::TServer::kShutdownGrace));
  stopper.join();
  EXPECT_TRUE(captured.Has("#1 closed at shutdown (PORTAL)"));
}

TEST_F(NoticesTest, AClientThatStopsReadingIsDroppedWhenAWriteOutlastsTheFrameTime) {
  auto config = Config();
  config.frame_timeout = 1000ms;
  Start(config);
  TTestClient stalled(Port(), 4096);
  ASSERT_TRUE(stalled.Login("PORTAL", "qz7rmw"));
  EXPECT_EQ(server_->BroadcastMessage(std::string(16 << 20, 'n')), 1);
  EXPECT_TRUE(captured.WaitFor("#1 notice 0301 not delivered: not reading for 1000 ms"));
  EXPECT_TRUE(captured.WaitFor("#1 dropped: notice 0301 not delivered: not reading for 1000 ms (PORTAL)"));
  EXPECT_EQ(LoggedIn()->Call("0054", FileFields("Files", "x")), "N");
}

TEST_F(NoticesTest, NoticesNeverLandInsideAReply) {
  Start();
  auto c = std::make_unique<TTestClient>(Port(), 4096);
  ASSERT_TRUE(c->Login("PORTAL", "qz7rmw"));
  // Large notices go out in many pieces through the small buffer while replies are being
  // written: with one writer at a time the frames stay whole, in any order.
  std::string big(16 << 20, 'n');  // larger than any socket buffer: sent in many pieces
  constexpr int kNotices = 3, kRequests = 200;
  std::thread noticer([&] {
    for (int i = 0; i < kNotices; ++i) server_->BroadcastMessage(big);
  });
  std::string requests;
  for (int i = 0; i < kRequests; ++i)
    requests += BuildRequestHeader(510, "0054") + FileFields("Files", std::string("f").append(std::to_string(i)));
  std::thread sender([&] { c->Send(requests); });
  int notices = 0, replies = 0;
  while (notices + replies < kNotices + kRequests) {
    auto f = c->ReadFrame(10s);
    if (!f) break;
    if (f->code == "0301" && f->payload == big) ++notices;
    else if (f->code == "0001" && f->payload == "N") ++replies;
    else ADD_FAILURE() << "broken frame " << f->header;
  }
  noticer.join();
  sender.join();
  EXPECT_EQ(notices, kNotices);
  EXPECT_EQ(replies, kRequests);
}

TEST_F(NoticesTest, ConsoleCommands) {
  Start();
  auto a = LoggedIn();
  server::TAdminConsole console(*server_);
  struct Case {
    const char* line;
    const char* answer;
  } cases[] = {
      {"", ""},
      {"message", "message: the text is missing\n"},
      {"progress 1 2", "progress: three whole numbers expected: <min> <max> <pos>\n"},
      {"progress 1 2 x", "progress: three whole numbers expected: <min> <max> <pos>\n"},
      {"progress 1 2 3 4", "progress: three whole numbers expected: <min> <max> <pos>\n"},
      {"progress 1 2 99999999999", "progress: three whole numbers expected: <min> <max> <pos>\n"},
      {"frobnicate now", "unknown command: frobnicate (try help)\n"},
      {"  MESSAGE   Server goes down at noon \r", "message sent to 1 clients\n"},
      {"progress 0 100 50", "progress sent to 1 clients\n"},
      {"clients", "#1 127.0.0.1:* PORTAL (machine 1234, server SRV, group GRP)\n"},
  };
  for (const auto& k : cases) {
    std::string answer = console.Execute(k.line);
    std::string expected = k.answer;
    if (auto star = expected.find('*'); star != std::string::npos) {  // the client's port varies
      size_t end = answer.find(' ', star);
      ASSERT_NE(end, std::string::npos) << answer;
      answer = answer.substr(0, star) + "*" + answer.substr(end);
    }
    EXPECT_EQ(answer, expected) << k.line;
  }
  auto m = a->ReadFrame();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->code + m->payload, "0301Server goes down at noon");
  auto p = a->ReadFrame();
  ASSERT_TRUE(p);
  EXPECT_EQ(p->code + p->payload, "0300" "00000000" "00000064" "00000032");
  EXPECT_FALSE(console.ShutdownRequested());
  EXPECT_EQ(console.Execute("shutdown"), "shutting down\n");
  EXPECT_TRUE(console.ShutdownRequested());
  EXPECT_NE(console.Execute("help").find("progress <min> <max> <pos>"), std::string::npos);
}

}  // namespace
}  // namespace tavrik::testing
