// Where the tables of a database alias live, and the only way a client's table or index name
// becomes a path: a plain name (no separators, no "..", not our partial-upload prefix) inside
// the alias's folder, naming a regular file that is not a symbolic link. A table whose memo or
// index file beside it is a link is refused too, since the engine opens those by name.
#pragma once

#include <string>
#include <string_view>

#include "core/Exception.h"
#include "server/Config.h"

namespace tavrik::server {

TAVRIK_EXCEPTION(EDataFolder, Exception);
TAVRIK_EXCEPTION(EUnknownDatabase, EDataFolder);
TAVRIK_EXCEPTION(EBadTableName, EDataFolder);
TAVRIK_EXCEPTION(ENoSuchTable, EDataFolder);

// The folder of database alias `alias` (any letter case); EUnknownDatabase otherwise.
std::string DataFolder(const TServerConfig& config, std::string_view alias);

// The path of table `name` in `folder`: the name as given, or with ".DBF"/".dbf" when it has no
// extension, letter case ignored as the engine does. EBadTableName for a name that is not plain
// or a file that is a link, ENoSuchTable when there is no such regular file.
std::string TablePath(const std::string& folder, std::string_view name);

// The path of index file `name` in `folder` (".mxi" added when it has no extension, letter case
// ignored), or "" when there is no such regular file. EBadTableName for a name that is not plain or a link.
std::string IndexPath(const std::string& folder, std::string_view name);

}  // namespace tavrik::server
