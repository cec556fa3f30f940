// `marvekd --init-demo DIR`: a demo installation, made with the xBase engine.
//   DIR/marvekd.ini   the configuration (mode 0600: it holds the account's password); the log
//                     goes to DIR/marvekd.log
//   DIR/data/         the database alias FILES:
//                       USERS.DBF  USER_ID C20, PASSWRD C20, PERMISSION C60, MESSAGE C100, with
//                                  the order USER_ID in its own index file USERS.mxi, and one
//                                  account kDemoUser / kDemoPassword holding every permission
//                       LOG.DBF    TIMESTAMP C30, EVENT C80, USER C40, OPMERKING C160, empty
//   DIR/files/        the file area "Files"
// The server account PORTAL / qz7rmw is the one the program's data module logs in with.
// An existing demo (any of the configuration and the two tables) is never overwritten.
#pragma once

#include <string>

#include "core/Exception.h"

namespace tavrik::server {

TAVRIK_EXCEPTION(EDemoSetup, Exception);

constexpr const char* kDemoUser = "demo";
constexpr const char* kDemoPassword = "welkom";
constexpr const char* kDemoPermissions = "UPLOAD;DOWNLOAD;TOOLS;BACKUP";

// Returns the path of the configuration; lines telling what was done go to `report`.
std::string InitDemo(const std::string& dir, std::string& report);

}  // namespace tavrik::server
