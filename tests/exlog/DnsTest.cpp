// The mail exchanger look-up: the query's bytes, the answer's parsing (lengths and pointers
// checked, only records of the query asked), and the servers asked (the configured ones only).
#include <gtest/gtest.h>

#include "exlog/EDns.h"
#include "exlog/ESockets.h"
#include "platform/DnsServers.h"
#include "tests/support/ScriptedPeer.h"

namespace tavrik::exlog {
namespace {

std::string Labels(const std::string& name) {
  std::string out;
  size_t start = 0;
  while (start <= name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) dot = name.size();
    out += static_cast<char>(dot - start) + name.substr(start, dot - start);
    start = dot + 1;
  }
  return out + '\0';
}

std::string U16(int v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }

struct Record {
  std::string owner;  // raw bytes of the owner name
  int type;
  std::string data;
};

std::string Mx(int preference, const std::string& exchange_bytes) { return U16(preference) + exchange_bytes; }

// An answer to `query`: its identifier and question, then the records.
std::string Answer(const std::string& query, const std::vector<Record>& records, int flags = 0x8180) {
  std::string packet = query.substr(0, 2) + U16(flags) + U16(1) + U16(static_cast<int>(records.size())) + U16(0) + U16(0);
  packet += query.substr(12);
  for (const Record& r : records)
    packet += r.owner + U16(r.type) + U16(1) + std::string("\0\0\x0e\x10", 4) + U16(static_cast<int>(r.data.size())) + r.data;
  return packet;
}

const std::string kQueryName = "\xC0\x0C";  // a pointer to the question's name

TEST(DnsQuery, HeaderQuestionTypeAndClass) {
  std::optional<std::string> q = MxQuery("mail.example.com");
  ASSERT_TRUE(q);
  EXPECT_EQ(*q, std::string("AA\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00", 12) + Labels("mail.example.com") +
                    std::string("\x00\x0F\x00\x01", 4));
  EXPECT_EQ(MxQuery("example.com."), MxQuery("example.com"));
  for (const std::string& bad : std::vector<std::string>{"", "a..b", ".a", std::string(64, 'x')})
    EXPECT_FALSE(MxQuery(bad)) << bad;
}

TEST(DnsAnswer, TheLowestPreferenceWins) {
  const std::string q = *MxQuery("example.com");
  EXPECT_EQ(MxAnswer(Answer(q, {{kQueryName, 15, Mx(20, Labels("second.example.com"))},
                                {kQueryName, 15, Mx(10, Labels("first.example.com"))}}),
                     "example.com"),
            "first.example.com");
  // The exchange name may itself end in a pointer to the question's name.
  EXPECT_EQ(MxAnswer(Answer(q, {{kQueryName, 15, Mx(5, std::string("\x02mx\xC0\x0C", 5))}}), "EXAMPLE.com"),
            "mx.example.com");
  EXPECT_EQ(MxAnswer(Answer(q, {}), "example.com"), "");  // an answer that names none
}

TEST(DnsAnswer, OnlyRecordsOfTheQueryAsked) {
  const std::string q = *MxQuery("example.com");
  const std::string other_owner = Labels("evil.org");
  struct Case {
    const char* name;
    std::string packet;
    std::optional<std::string> expected;
  } cases[] = {
      {"another identifier", "BB" + Answer(q, {{kQueryName, 15, Mx(1, Labels("x.org"))}}).substr(2), std::nullopt},
      {"not an answer", Answer(q, {{kQueryName, 15, Mx(1, Labels("x.org"))}}, 0x0100), std::nullopt},
      {"an error answer", Answer(q, {{kQueryName, 15, Mx(1, Labels("x.org"))}}, 0x8183), std::nullopt},
      {"another question", Answer(*MxQuery("evil.org"), {{kQueryName, 15, Mx(1, Labels("x.org"))}}), std::nullopt},
      {"another owner", Answer(q, {{other_owner, 15, Mx(1, Labels("x.org"))}}), ""},
      {"another type", Answer(q, {{kQueryName, 1, std::string("\x7f\0\0\x01", 4)}}), ""},
      {"an alias of the domain",
       Answer(q, {{kQueryName, 5, Labels("real.example.net")}, {Labels("real.example.net"), 15, Mx(3, Labels("mx.net"))}}),
       "mx.net"},
  };
  for (const Case& c : cases) EXPECT_EQ(MxAnswer(c.packet, "example.com"), c.expected) << c.name;
}

TEST(DnsAnswer, HostilePacketsAreReadWithinTheirBounds) {
  const std::string q = *MxQuery("example.com");
  const std::string good = Answer(q, {{kQueryName, 15, Mx(10, Labels("mx.example.com"))}});
  struct Case {
    const char* name;
    std::string packet;
  } cases[] = {
      {"a pointer to itself", Answer(q, {{"\xC0\x1d", 15, Mx(10, std::string("\xC0\x1f", 2))}})},
      {"a pointer forwards", Answer(q, {{kQueryName, 15, Mx(10, std::string("\xC0\xff", 2))}})},
      {"a pointer past the end", Answer(q, {{kQueryName, 15, Mx(10, std::string("\xFF\xFF", 2))}})},
      {"a label past the end", Answer(q, {{kQueryName, 15, Mx(10, std::string("\x3f" "abc", 4))}})},
      {"an exchange past its record", Answer(q, {{kQueryName, 15, Mx(10, std::string("\x05" "ab", 3))}})},
      {"a data length past the end", good.substr(0, good.size() - 4)},
      {"a header cut short", good.substr(0, 9)},
      {"a question cut short", good.substr(0, 20)},
      {"a reserved label type", Answer(q, {{kQueryName, 15, Mx(10, std::string("\x80x\0", 3))}})},
  };
  for (const Case& c : cases) {
    std::optional<std::string> answer = MxAnswer(c.packet, "example.com");
    EXPECT_TRUE(!answer || answer->empty()) << c.name << ": " << *answer;
  }
  // Every cut of a good answer is read without a fault (the sanitizers watch the reads).
  for (size_t n = 0; n < good.size(); ++n) MxAnswer(good.substr(0, n), "example.com");
}

TEST(DnsServers, OnlyTheConfiguredNameServers) {
  EXPECT_EQ(platform::ParseResolverConfig("# comment\nnameserver 10.0.0.2\nsearch lan\nnameserver 0.0.0.0\n"
                                          "nameserver ::1\nnameserver 10.0.0.2\noptions ndots:1\nnameserver 10.0.0.3"),
            (std::vector<platform::TDnsServer>{{"10.0.0.2", 53}, {"10.0.0.3", 53}}));
  EXPECT_TRUE(platform::ParseResolverConfig("").empty());
}

class ResolveTest : public ::testing::Test {
 protected:
  void Use(std::vector<platform::TDnsServer> servers) {
    platform::SetDnsServers([servers] { return servers; });
  }
  void TearDown() override { platform::SetDnsServers(nullptr); }
};

TEST_F(ResolveTest, AsksTheServersInOrderUntilOneNamesAnExchange) {
  testing::ScriptedDnsServer silent([](const std::string&) { return std::vector<std::string>{}; });
  testing::ScriptedDnsServer empty([](const std::string& q) { return std::vector<std::string>{Answer(q, {})}; });
  testing::ScriptedDnsServer knows([](const std::string& q) {
    // A stray datagram first: another query's answer.
    return std::vector<std::string>{"ZZ" + Answer(q, {}).substr(2),
                                    Answer(q, {{kQueryName, 15, Mx(10, Labels("mx.example.com"))}})};
  });
  Use({{"127.0.0.1", silent.Port()}, {"127.0.0.1", empty.Port()}, {"127.0.0.1", knows.Port()}});
  EXPECT_EQ(ResolveMailExchanger("Jan <jan@example.com>", 300), "mx.example.com");
  EXPECT_EQ(silent.Queries(), std::vector<std::string>{*MxQuery("example.com")});
  EXPECT_EQ(empty.Queries().size(), 1u);
  EXPECT_EQ(knows.Queries().size(), 1u);
}

TEST_F(ResolveTest, NoServerThatNamesOneIsAnError) {
  testing::ScriptedDnsServer empty([](const std::string& q) { return std::vector<std::string>{Answer(q, {})}; });
  for (auto servers : {std::vector<platform::TDnsServer>{}, std::vector<platform::TDnsServer>{{"127.0.0.1", empty.Port()}}}) {
    Use(servers);
    try {
      ResolveMailExchanger("jan@nowhere.test", 300);
      FAIL() << "resolved";
    } catch (const ERavlogSocketError& e) {
      EXPECT_STREQ(e.what(), "Cannot resolve the \"nowhere.test\" MX record.");
    }
  }
}

}  // namespace
}  // namespace tavrik::exlog
