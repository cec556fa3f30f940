// zipwright: archives through the ZIP component, for administrators and tests.
//   zipwright add [-0..-9] [-j] [-r] [-P password] ARCHIVE FILE...
//   zipwright list ARCHIVE
// Messages go to standard error. Exit status: 0 when everything asked for was done, 1 when
// something failed, 2 for a command line that does not read.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "zip/ZipWrt.h"

namespace {

constexpr int kUsageError = 2;

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "zipwright: %s\n"
               "usage: zipwright add [-0..-9] [-j] [-r] [-P password] ARCHIVE FILE...\n"
               "       zipwright list ARCHIVE\n",
               problem.c_str());
  return kUsageError;
}

std::string MethodText(const tavrik::ZipDirEntry& entry) {
  std::string text = entry.Method == 0 ? "stored" : entry.Method == 8 ? "deflated" : "method" + std::to_string(entry.Method);
  return entry.Encrypted ? text + "*" : text;
}

int Add(const std::vector<std::string>& args) {
  tavrik::TZipwright zip;
  zip.SetUnattended(true);
  tavrik::AddOpts options{tavrik::AddDirNames};
  size_t i = 0;
  for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
    const std::string& a = args[i];
    if (a.size() == 2 && a[1] >= '0' && a[1] <= '9') {
      zip.SetAddCompLevel(a[1] - '0');
    } else if (a == "-j") {
      options.erase(tavrik::AddDirNames);
    } else if (a == "-r") {
      options.insert(tavrik::AddRecurseDirs);
    } else if (a == "-P") {
      if (++i == args.size() || args[i].empty()) return Usage("-P needs a password");
      zip.SetPassword(args[i]);
      options.insert(tavrik::AddEncrypt);
    } else {
      return Usage("unknown option " + a);
    }
  }
  if (args.size() - i < 2) return Usage("add needs an archive and at least one file");
  zip.SetAddOptions(options);
  bool failed = false;
  zip.OnMessage = [&](tavrik::TComponent*, int, const std::string& message) {
    std::fprintf(stderr, "zipwright: %s\n", message.c_str());
    failed = true;
  };
  zip.SetZipFileName(args[i]);
  failed = false;  // what reading the old archive said is no failure of this command
  zip.SetFSpecArgs(std::vector<std::string>(args.begin() + static_cast<long>(i) + 1, args.end()));
  zip.AddFiles();
  return failed || zip.AddedCount() == 0 ? 1 : 0;
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("list needs exactly one archive");
  if (!tavrik::platform::IsRegularFile(args[0])) {
    std::fprintf(stderr, "zipwright: %s: no such file\n", args[0].c_str());
    return 1;
  }
  tavrik::TZipwright zip;
  zip.SetUnattended(true);
  bool failed = false;
  zip.OnMessage = [&](tavrik::TComponent*, int, const std::string& message) {
    std::fprintf(stderr, "zipwright: %s\n", message.c_str());
    failed = true;
  };
  zip.SetZipFileName(args[0]);
  if (failed) return 1;
  for (const auto& entry : zip.ZipContents())
    std::printf("%12llu %12llu %-9s %08x %s\n", static_cast<unsigned long long>(entry.UncompressedSize()),
                static_cast<unsigned long long>(entry.CompressedSize()), MethodText(entry).c_str(), entry.Crc32,
                tavrik::platform::AnsiToUtf8(entry.FileName).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes writes fail (and the run end cleanly) instead of killing the tool.
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc < 2) return Usage("no command");
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "add") return Add(args);
  if (command == "list") return List(args);
  return Usage("unknown command " + command);
}
