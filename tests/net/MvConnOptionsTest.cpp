// The connection options the command-line tools share, beside each tool's own options.
#include <gtest/gtest.h>

#include "net/MvConnOptions.h"
#include "tests/support/ErrorText.h"

namespace tavrik {
namespace {

using testing::MessageOf;

// A tool's own options as tavrik-send and mvtable have them: a switch and a long option with a
// value; what they were given is recorded in `seen`.
std::vector<TToolOption> OwnOptions(std::string& seen) {
  return {{"no-zip", 0, false, [&seen](const std::string&) { seen += "[no-zip]"; }},
          {"order", 0, true, [&seen](const std::string& v) { seen += "[order=" + v + "]"; }},
          {"server-name", 's', true, [&seen](const std::string& v) { seen += "[s=" + v + "]"; }}};
}

std::string Describe(const TConnOptions& o) {
  return o.host + " " + std::to_string(o.port) + " " + o.user + " " + o.password + " " + std::to_string(o.timeout);
}

TEST(ToolOptions, ConnectionAndOwnOptionsBeforeTheArguments) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string connection, own;
    std::vector<std::string> rest;
  };
  const Case cases[] = {
      {"defaults", {"FILE"}, "127.0.0.1 8121   120000", "", {"FILE"}},
      {"short", {"-H", "srv", "-p", "9000", "-u", "clerk1", "-w", "secret", "-t", "0", "FILE"},
       "srv 9000 clerk1 secret 0", "", {"FILE"}},
      {"long", {"--host", "srv", "--port", "$2000", "--user", "u", "--password", "p", "--timeout", "5000", "A", "B"},
       "srv 8192 u p 5000", "", {"A", "B"}},
      {"joined values", {"--host=srv", "-p9000", "-wx y"}, "srv 9000  x y 120000", "", {}},
      {"own options", {"--no-zip", "-u", "u", "--order", "USER_ID", "-s", "SRV1", "F"}, "127.0.0.1 8121 u  120000",
       "[no-zip][order=USER_ID][s=SRV1]", {"F"}},
      {"options end at the first argument", {"FILES", "-p", "1"}, "127.0.0.1 8121   120000", "", {"FILES", "-p", "1"}},
      {"double dash ends them", {"-p", "1", "--", "-H"}, "127.0.0.1 1   120000", "", {"-H"}},
      {"the last value counts", {"-p", "1", "-p", "2"}, "127.0.0.1 2   120000", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TConnOptions options;
    std::string seen;
    EXPECT_EQ(ParseToolOptions(c.args, options, OwnOptions(seen)), c.rest);
    EXPECT_EQ(Describe(options), c.connection);
    EXPECT_EQ(seen, c.own);
  }
}

TEST(ToolOptions, CommandLinesThatDoNotRead) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-p", "port"}, "not a number: port"},
      {{"--port=-1"}, "not a number: -1"},
      {{"-t", "12ms"}, "not a number: 12ms"},
      {{"-x", "F"}, "unknown option -x"},
      {{"--bogus=1", "F"}, "unknown option --bogus"},
      {{"-H"}, "option -H needs a value"},
      {{"--order"}, "option --order needs a value"},
  };
  for (const auto& [args, message] : cases) {
    TConnOptions options;
    std::string seen;
    EXPECT_EQ(MessageOf([&] { ParseToolOptions(args, options, OwnOptions(seen)); }), message) << args[0];
  }
  TConnOptions options;
  EXPECT_EQ(MessageOf([&] { ParseToolOptions({"--no-zip"}, options); }), "unknown option --no-zip");
}

TEST(ToolOptions, AppliedToAConnection) {
  TConnOptions options;
  ParseToolOptions({"-H", "srv", "-p", "9000", "-u", "clerk1", "-w", "secret", "-t", "7000"}, options);
  TMarvekConnection connection;
  options.ApplyTo(connection);
  EXPECT_EQ(connection.Host(), "srv");
  EXPECT_EQ(connection.Port(), 9000);
  EXPECT_EQ(connection.User(), "CLERK1");
  EXPECT_EQ(connection.Password(), "secret");
  EXPECT_EQ(connection.TimeOut(), 7000);
}

}  // namespace
}  // namespace tavrik
