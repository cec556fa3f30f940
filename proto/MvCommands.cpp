#include "proto/MvCommands.h"

namespace tavrik {

namespace {
constexpr TMvCommand kCatalogue[] = {
#define TAVRIK_MV_COMMAND(name, code, answered) mvcmd::name,
    TAVRIK_MV_COMMANDS(TAVRIK_MV_COMMAND)
#undef TAVRIK_MV_COMMAND
};
}  // namespace

const TMvCommand* FindMvCommand(std::string_view code) {
  for (const TMvCommand& c : kCatalogue)
    if (code == c.code) return &c;
  return nullptr;
}

bool IsAnswered(std::string_view code) {
  const TMvCommand* c = FindMvCommand(code);
  return !c || c->answered;
}

}  // namespace tavrik
