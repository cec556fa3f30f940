// ravlog-pack: turns a settings file of the exception logger into a C++ source that stores the
// packed settings block ("RLDATA") and the version information ("VERSIONINFO") in sections of
// the module it is compiled into. The build runs it; see the README.
//
//   ravlog-pack SETTINGS OUTPUT [--description TEXT] [--version TEXT]
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "exlog/EConsts.h"
#include "exlog/EModules.h"
#include "exlog/ESettingsBlock.h"

namespace {

std::string CBytes(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += std::to_string(static_cast<unsigned char>(bytes[i])) + ",";
    if (i % 24 == 23) out += "\n";
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: ravlog-pack SETTINGS OUTPUT [--description TEXT] [--version TEXT]\n");
    return 2;
  }
  tavrik::exlog::TVersionInfo info;
  for (int i = 3; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--description") {
      info.description = argv[i + 1];
    } else if (option == "--version") {
      info.version = argv[i + 1];
    } else {
      std::fprintf(stderr, "ravlog-pack: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "ravlog-pack: cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  tavrik::exlog::TRavlogModuleOptionsEx options;
  try {
    options.LoadFromText(text.str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ravlog-pack: %s: %s\n", argv[1], e.what());
    return 1;
  }
  const std::string block = tavrik::exlog::PackSettingsBlock(options);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << "// Made by ravlog-pack from " << argv[1] << "; edit that file instead.\n"
      << "__attribute__((section(\"" << tavrik::exlog::kSettingsResource << "\"), used))\n"
      << "static const unsigned char kRavlogSettings[] = {\n" << CBytes(block) << "};\n"
      << "__attribute__((section(\"VERSIONINFO\"), used))\n"
      << "static const unsigned char kRavlogVersionInfo[] = {\n"
      << CBytes(tavrik::exlog::VersionInfoText(info)) << "};\n";
  if (!out.flush()) {
    std::fprintf(stderr, "ravlog-pack: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
