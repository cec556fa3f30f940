#include "exlog/ESettingsBlock.h"

#include <fcntl.h>
#include <gelf.h>
#include <libelf.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>

#include "exlog/EConsts.h"

namespace tavrik::exlog {

namespace {
constexpr uLongf kLargestSettings = 1 << 20;
}  // namespace

std::string PackSettingsBlock(const TRavlogModuleOptionsEx& options) {
  const std::string text = options.ToText();
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string block(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(block.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
                static_cast<uLong>(text.size()), Z_BEST_COMPRESSION) != Z_OK)
    throw ERavlogSettingsError("Cannot pack the settings block.");
  block.resize(size);
  return block;
}

void UnpackSettingsBlock(const std::string& block, TRavlogModuleOptionsEx& options) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw ERavlogSettingsError("Cannot unpack the settings block.");
  std::string text;
  char piece[16384];
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.data()));
  z.avail_in = static_cast<uInt>(block.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(piece);
    z.avail_out = sizeof piece;
    rc = inflate(&z, Z_NO_FLUSH);
    text.append(piece, sizeof piece - z.avail_out);
    if (text.size() > kLargestSettings) rc = Z_DATA_ERROR;
    if (rc == Z_BUF_ERROR && z.avail_in == 0) break;  // the block ends before the stream does
  }
  inflateEnd(&z);
  if (rc != Z_STREAM_END) throw ERavlogSettingsError("Cannot unpack the settings block.");
  options.LoadFromText(text);
}

std::optional<std::string> ReadModuleResource(const std::string& path, const char* name) {
  elf_version(EV_CURRENT);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd == -1) return std::nullopt;
  std::optional<std::string> found;
  if (Elf* elf = elf_begin(fd, ELF_C_READ, nullptr)) {
    size_t names = 0;
    if (elf_kind(elf) == ELF_K_ELF && elf_getshdrstrndx(elf, &names) == 0) {
      for (Elf_Scn* scn = elf_nextscn(elf, nullptr); scn && !found; scn = elf_nextscn(elf, scn)) {
        GElf_Shdr header;
        if (!gelf_getshdr(scn, &header) || header.sh_type == SHT_NOBITS) continue;
        const char* section = elf_strptr(elf, names, header.sh_name);
        if (!section || std::strcmp(section, name) != 0) continue;
        if (Elf_Data* data = elf_rawdata(scn, nullptr); data && data->d_buf)
          found.emplace(static_cast<const char*>(data->d_buf), data->d_size);
      }
    }
    elf_end(elf);
  }
  ::close(fd);
  return found;
}

std::optional<TRavlogModuleOptionsEx> ModuleSettings(const std::string& path) {
  std::optional<std::string> block = ReadModuleResource(path, kSettingsResource);
  if (!block) return std::nullopt;
  TRavlogModuleOptionsEx options;
  UnpackSettingsBlock(*block, options);
  return options;
}

}  // namespace tavrik::exlog
