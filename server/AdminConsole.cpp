#include "server/AdminConsole.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

#include "core/StrUtils.h"

namespace tavrik::server {

namespace {

constexpr const char* kHelp =
    "commands:\n"
    "  message <text>              send a message to every client\n"
    "  progress <min> <max> <pos>  send a progress notice to every client\n"
    "  clients                     list the connections\n"
    "  shutdown                    notify every client and stop the server\n";

void WriteOut(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nobody reads the answers: the commands still work
    done += static_cast<size_t>(n);
  }
}

}  // namespace

std::string TAdminConsole::Execute(std::string_view line) {
  std::string text = Trim(line);
  size_t blank = text.find(' ');
  std::string verb = LowerCase(text.substr(0, blank));
  std::string rest = blank == std::string::npos ? std::string() : Trim(text.substr(blank + 1));

  if (verb.empty()) return "";
  if (verb == "help") return kHelp;
  if (verb == "message") {
    if (rest.empty()) return "message: the text is missing\n";
    return "message sent to " + std::to_string(server_.BroadcastMessage(rest)) + " clients\n";
  }
  if (verb == "progress") {
    std::istringstream words(rest);
    std::string w[4];
    words >> w[0] >> w[1] >> w[2] >> w[3];
    auto min = TryStrToInt(w[0]), max = TryStrToInt(w[1]), pos = TryStrToInt(w[2]);
    if (!min || !max || !pos || !w[3].empty()) return "progress: three whole numbers expected: <min> <max> <pos>\n";
    return "progress sent to " + std::to_string(server_.BroadcastProgress(*min, *max, *pos)) + " clients\n";
  }
  if (verb == "clients") {
    std::string out;
    for (const auto& c : server_.DescribeClients()) out += c + "\n";
    return out.empty() ? "no clients\n" : out;
  }
  if (verb == "shutdown") {
    shutdown_requested_ = true;
    return "shutting down\n";
  }
  return "unknown command: " + verb + " (try help)\n";
}

void TAdminConsole::Run(int fd, int out_fd, const std::atomic<bool>& stop) {
  std::string pending;
  char buffer[4096];
  while (!stop && !shutdown_requested_) {
    pollfd p{fd, POLLIN, 0};
    int ready = ::poll(&p, 1, 200);
    if (ready < 0 && errno != EINTR) return;
    if (ready <= 0) continue;
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return;
    pending.append(buffer, static_cast<size_t>(n));
    size_t eol;
    while ((eol = pending.find('\n')) != std::string::npos && !shutdown_requested_) {
      WriteOut(out_fd, Execute(pending.substr(0, eol)));
      pending.erase(0, eol + 1);
    }
    if (pending.size() > 64 * 1024) pending.clear();  // no line is that long; drop the noise
  }
}

}  // namespace tavrik::server
