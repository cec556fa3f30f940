// `marvekd --init-demo DIR`: the folders and the configuration of a demo installation.
//   DIR/marvekd.ini   the configuration (mode 0600: it holds the account's password)
//   DIR/data/         the database alias FILES (the tables USERS.DBF and LOG.DBF)
//   DIR/files/        the file area "Files"
// The server account PORTAL / qz7rmw is the one the program's data module logs in with.
// Running it again keeps an existing configuration and creates only what is missing.
#pragma once

#include <string>

#include "core/Exception.h"

namespace tavrik::server {

TAVRIK_EXCEPTION(EDemoSetup, Exception);

// Returns the path of the configuration; lines telling what was done go to `report`.
std::string InitDemo(const std::string& dir, std::string& report);

}  // namespace tavrik::server
