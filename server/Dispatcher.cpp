#include "server/Dispatcher.h"

namespace tavrik::server {

void TDispatcher::Add(TCommand command) {
  bool digits = command.code.size() == 4;
  for (char c : command.code) digits = digits && c >= '0' && c <= '9';
  if (!digits) throw EDispatcher("Command code must be four digits: " + command.code);
  if (commands_.count(command.code)) throw EDispatcher("Command code registered twice: " + command.code);
  std::string code = command.code;
  commands_.emplace(std::move(code), std::move(command));
}

const TCommand* TDispatcher::Find(std::string_view code) const {
  auto it = commands_.find(code);
  return it == commands_.end() ? nullptr : &it->second;
}

}  // namespace tavrik::server
