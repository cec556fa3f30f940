// What every session and command family of one server shares: the settings, the log, the
// MaxUsers slots and the file system calls of uploads. Owned by the server (or a test), it
// outlives every session.
#pragma once

#include <memory>

#include "server/Config.h"
#include "server/FileArea.h"
#include "server/ServerLog.h"
#include "server/UserSlots.h"

namespace tavrik::server {

struct TServerContext {
  TServerContext(TServerConfig c, TServerLog& l)
      : config(std::move(c)), log(l), users(config.max_users), upload_io(std::make_shared<TUploadIo>()) {}

  const TServerConfig config;
  TServerLog& log;
  TUserSlots users;
  std::shared_ptr<TUploadIo> upload_io;
};

}  // namespace tavrik::server
