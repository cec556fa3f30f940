#include "server/DemoSetup.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "platform/IniFile.h"
#include "xbase/WorkArea.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::server {

namespace fs = std::filesystem;

namespace {

constexpr int kFoxProTable = 3;  // the program's tables are FoxPro tables
constexpr int kExclusive = 2;

void SetText(xbase::TWorkAreaSet& set, const char* field, const std::string& text) {
  set.Replace(field, xbase::rtText, text);
}

void MakeUsers(const std::string& path) {
  xbase::TWorkAreaSet set;
  set.Create(path, "USER_ID,C,20,0;PASSWRD,C,20,0;PERMISSION,C,60,0;MESSAGE,C,100,0", kFoxProTable);
  set.Use(path, "USERS", kExclusive, kFoxProTable, 0);
  set.AppendBlank();
  SetText(set, "USER_ID", kDemoUser);
  SetText(set, "PASSWRD", kDemoPassword);
  SetText(set, "PERMISSION", kDemoPermissions);
  SetText(set, "MESSAGE", "Welkom bij de demo-installatie van Tavrik.");
  // Accounts are found by an exact seek on this order.
  set.IndexTag("", "USER_ID", "USER_ID", "", false, false);
  set.Commit();
  set.Close();
}

void MakeLog(const std::string& path) {
  // Widths that hold what the program writes: a date and a long time, events such as
  // "FileTranfer: " with a file name, the user name as typed, remarks with a permission list or
  // a typed password.
  xbase::TWorkAreaSet set;
  set.Create(path, "TIMESTAMP,C,30,0;EVENT,C,80,0;USER,C,40,0;OPMERKING,C,160,0", kFoxProTable);
}

// A file of the demo's tables (USERS.* or LOG.*, any letter case) in `data`, "" when none; the
// first by name, so the answer does not hang on the order of the folder.
std::string DemoTableFile(const fs::path& data) {
  std::error_code ec;
  std::vector<std::string> found;
  for (fs::directory_iterator it(data, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.rfind("USERS.", 0) == 0 || upper.rfind("LOG.", 0) == 0) found.push_back(name);
  }
  return found.empty() ? std::string() : *std::min_element(found.begin(), found.end());
}

}  // namespace

std::string InitDemo(const std::string& dir, std::string& report) {
  std::error_code ec;
  fs::path root = fs::absolute(dir, ec);
  if (ec) throw EDemoSetup("Cannot use " + dir + ": " + ec.message());
  fs::path data = root / "data", files = root / "files", ini_path = root / "marvekd.ini";
  fs::path users = data / "USERS.DBF", log = data / "LOG.DBF";
  std::string existing = fs::exists(fs::symlink_status(ini_path, ec)) ? "marvekd.ini" : DemoTableFile(data);
  if (!existing.empty())
    throw EDemoSetup("A demo installation exists already in " + root.string() + " (" + existing +
                     "); remove it first to make a new one");
  for (const auto& folder : {root, data, files}) {
    if (fs::create_directories(folder, ec)) report += "created " + folder.string() + "\n";
    if (ec || !fs::is_directory(folder)) throw EDemoSetup("Cannot create folder " + folder.string());
  }

  try {
    MakeUsers(users.string());
    report += "created " + users.string() + " with the account " + kDemoUser + " / " + kDemoPassword + "\n";
    MakeLog(log.string());
    report += "created " + log.string() + "\n";
    TIniFile ini(ini_path.string(), /*private_mode=*/true);
    ini.WriteString("SERVER", "Address", "127.0.0.1");
    ini.WriteString("SERVER", "Port", "8121");
    ini.WriteString("SERVER", "MaxUsers", "10");
    ini.WriteString("SERVER", "IdleTimeout", "3600");
    ini.WriteString("SERVER", "LogFile", (root / "marvekd.log").string());
    ini.WriteString("ACCOUNTS", "PORTAL", "qz7rmw");
    ini.WriteString("ALIASES", "FILES", data.string());
    ini.WriteString("FILES", "Files", files.string());
  } catch (const Exception& e) {
    // Half a demo would be refused as existing next time; what was made here goes again.
    for (std::string name = DemoTableFile(data); !name.empty(); name = DemoTableFile(data))
      if (!fs::remove(data / name, ec)) break;
    fs::remove(ini_path, ec);
    throw EDemoSetup("Cannot make the demo in " + root.string() + ": " + e.Message());
  }
  report += "wrote " + ini_path.string() + "\n";
  return ini_path.string();
}

}  // namespace tavrik::server
