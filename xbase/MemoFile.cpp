#include "xbase/MemoFile.h"

#include "xbase/MemoDbt.h"
#include "xbase/MemoFpt.h"
#include "xbase/TableError.h"

namespace tavrik::xbase {

std::unique_ptr<TMemoFile> OpenMemoFile(const std::string& path, TMemoKind kind, bool writable) {
  TTableFile file = TTableFile::Open(path, writable);
  if (kind == TMemoKind::dbt) return std::make_unique<TDbtMemoFile>(std::move(file));
  return std::make_unique<TFptMemoFile>(std::move(file));
}

int FptBlockSizeOf(int setting) {
  if (setting == 0) return 64;
  if (setting >= 1 && setting <= 32) return setting * 512;  // FoxPro counts small sizes in 512s
  if (setting >= 33 && setting <= 65535) return setting;
  return 0;
}

void CreateMemoFile(const std::string& path, TMemoKind kind, int block_size) {
  std::string header;
  if (kind == TMemoKind::dbt) {
    header = TDbtMemoFile::EmptyHeader();
  } else {
    const int bytes = FptBlockSizeOf(block_size);
    if (bytes == 0) throw ETableError("Invalid memo block size " + std::to_string(block_size));
    header = TFptMemoFile::EmptyHeader(uint32_t(bytes));
  }
  TTableFile file = TTableFile::Create(path);
  file.Write(0, header);
}

}  // namespace tavrik::xbase
