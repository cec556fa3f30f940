#include "server/DataFolders.h"

#include <dirent.h>
#include <sys/stat.h>

#include "core/StrUtils.h"
#include "platform/Paths.h"
#include "server/FileArea.h"
#include "server/ServerLog.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::server {

namespace {

enum class TKind { missing, file, link, other };

TKind KindOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return TKind::missing;
  if (S_ISLNK(st.st_mode)) return TKind::link;
  return S_ISREG(st.st_mode) ? TKind::file : TKind::other;
}

void CheckName(std::string_view name, std::string_view what) {
  try {
    CheckPlainName(name);
  } catch (const EBadFileName& e) {
    throw EBadTableName(std::string(what) + " \"" + Printable(name, 255) + "\" refused: " + e.Message());
  }
}

// Memo and index files carry the table's stem; the engine opens them by name, so none of them
// may lead elsewhere either.
void CheckCompanions(const std::string& folder, const std::string& table_name) {
  const std::string stem = UpperCase(platform::StemOf(table_name)) + ".";
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::string link;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (UpperCase(name).rfind(stem, 0) == 0 && KindOf(folder + "/" + name) == TKind::link) {
      link = name;
      break;
    }
  }
  ::closedir(dir);
  if (!link.empty()) throw EBadTableName("Table " + table_name + " refused: " + Printable(link, 255) + " is a link");
}

}  // namespace

std::string DataFolder(const TServerConfig& config, std::string_view alias) {
  auto folder = config.aliases.Find(alias);
  if (!folder) throw EUnknownDatabase("Unknown database alias \"" + Printable(alias, 255) + "\"");
  std::string f = *folder;
  while (f.size() > 1 && f.back() == '/') f.pop_back();  // paths are built as folder + "/" + name
  return f;
}

std::string TablePath(const std::string& folder, std::string_view name) {
  CheckName(name, "Table name");
  const std::string path = xbase::ResolveTablePath(folder + "/" + std::string(name));
  // The engine looks only in the folder given, but a link found there could lead anywhere.
  if (platform::FolderOf(path) != folder) throw EBadTableName("Table name \"" + Printable(name, 255) + "\" refused");
  switch (KindOf(path)) {
    case TKind::missing: throw ENoSuchTable("Table " + Printable(name, 255) + " does not exist");
    case TKind::link: throw EBadTableName("Table " + Printable(name, 255) + " refused: it is a link");
    case TKind::other: throw ENoSuchTable("Table " + Printable(name, 255) + " is not a file");
    case TKind::file: break;
  }
  CheckCompanions(folder, platform::FileNameOf(path));
  return path;
}

std::string IndexPath(const std::string& folder, std::string_view name) {
  CheckName(name, "Index name");
  std::string file(name);
  if (file.find('.') == std::string::npos) file += ".mxi";
  // Tables made elsewhere carry names in either case; the engine finds tables so too.
  std::string path = folder + "/" + file;
  if (KindOf(path) == TKind::missing) {
    const std::string found = platform::FindEntryIgnoringCase(folder, file);
    if (!found.empty()) path = folder + "/" + found;
  }
  switch (KindOf(path)) {
    case TKind::link: throw EBadTableName("Index " + Printable(name, 255) + " refused: it is a link");
    case TKind::file: return path;
    default: return {};
  }
}

}  // namespace tavrik::server
