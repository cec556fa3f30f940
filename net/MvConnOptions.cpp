#include "net/MvConnOptions.h"

#include <getopt.h>

#include "core/StrUtils.h"

namespace tavrik {

namespace {
// Options with a long name only are told apart by numbers beyond every character.
constexpr int kLongOnly = 256;

int NonNegative(const char* text) {
  const std::optional<int32_t> value = TryStrToInt(text);
  if (!value || *value < 0) throw EToolUsage(std::string("not a number: ") + text);
  return *value;
}

// The option as it was written, without a value given with "=".
std::string Written(const char* arg) {
  const std::string text(arg);
  return text.substr(0, text.find('='));
}
}  // namespace

void TConnOptions::ApplyTo(TMarvekConnection& connection) const {
  connection.SetHost(host);
  connection.SetPort(port);
  connection.SetUser(user);
  connection.SetPassword(password);
  connection.SetTimeOut(timeout);
}

std::vector<std::string> ParseToolOptions(const std::vector<std::string>& args, TConnOptions& options,
                                          const std::vector<TToolOption>& own) {
  // "+": options end at the first other argument; ":": a missing value is told from an
  // unknown option.
  std::string short_options = "+:H:p:u:w:t:";
  std::vector<option> long_options = {{"host", required_argument, nullptr, 'H'},
                                      {"port", required_argument, nullptr, 'p'},
                                      {"user", required_argument, nullptr, 'u'},
                                      {"password", required_argument, nullptr, 'w'},
                                      {"timeout", required_argument, nullptr, 't'}};
  for (size_t i = 0; i < own.size(); ++i) {
    const TToolOption& o = own[i];
    const int id = o.short_name ? o.short_name : kLongOnly + static_cast<int>(i);
    if (o.short_name) short_options += std::string(1, o.short_name) + (o.takes_value ? ":" : "");
    long_options.push_back({o.long_name, o.takes_value ? required_argument : no_argument, nullptr, id});
  }
  long_options.push_back({nullptr, 0, nullptr, 0});

  std::vector<std::string> copy = args;
  copy.insert(copy.begin(), "tool");
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(copy.size());

  optind = 0;  // a fresh start, whatever an earlier parse left behind
  opterr = 0;  // the messages are ours
  int c;
  while ((c = getopt_long(argc, argv.data(), short_options.c_str(), long_options.data(), nullptr)) != -1) {
    switch (c) {
      case 'H': options.host = optarg; break;
      case 'p': options.port = NonNegative(optarg); break;
      case 'u': options.user = optarg; break;
      case 'w': options.password = optarg; break;
      case 't': options.timeout = NonNegative(optarg); break;
      case ':': throw EToolUsage("option " + Written(argv[optind - 1]) + " needs a value");
      case '?':
        if (optopt > 0 && optopt < kLongOnly) throw EToolUsage(std::string("unknown option -") + char(optopt));
        throw EToolUsage("unknown option " + Written(argv[optind - 1]));
      default:
        for (size_t i = 0; i < own.size(); ++i)
          if (c == (own[i].short_name ? own[i].short_name : kLongOnly + static_cast<int>(i)))
            own[i].set(own[i].takes_value ? optarg : "");
    }
  }
  return std::vector<std::string>(copy.begin() + optind, copy.end());
}

}  // namespace tavrik
