#include "server/DemoSetup.h"

#include <filesystem>

#include "platform/IniFile.h"

namespace tavrik::server {

namespace fs = std::filesystem;

std::string InitDemo(const std::string& dir, std::string& report) {
  std::error_code ec;
  fs::path root = fs::absolute(dir, ec);
  if (ec) throw EDemoSetup("Cannot use " + dir + ": " + ec.message());
  fs::path data = root / "data", files = root / "files", ini_path = root / "marvekd.ini";
  for (const auto& folder : {root, data, files}) {
    if (fs::create_directories(folder, ec)) report += "created " + folder.string() + "\n";
    if (ec || !fs::is_directory(folder)) throw EDemoSetup("Cannot create folder " + folder.string());
  }

  // The tables USERS.DBF and LOG.DBF of the database FILES belong in `data`; they are made
  // here with the xBase engine once the server links it in.

  if (fs::exists(ini_path)) {
    report += "kept " + ini_path.string() + "\n";
    return ini_path.string();
  }
  try {
    TIniFile ini(ini_path.string(), /*private_mode=*/true);
    ini.WriteString("SERVER", "Address", "127.0.0.1");
    ini.WriteString("SERVER", "Port", "8121");
    ini.WriteString("SERVER", "MaxUsers", "10");
    ini.WriteString("SERVER", "IdleTimeout", "300");
    ini.WriteString("ACCOUNTS", "PORTAL", "qz7rmw");
    ini.WriteString("ALIASES", "FILES", data.string());
    ini.WriteString("FILES", "Files", files.string());
  } catch (const Exception& e) {
    throw EDemoSetup(e.Message());
  }
  report += "wrote " + ini_path.string() + "\n";
  return ini_path.string();
}

}  // namespace tavrik::server
