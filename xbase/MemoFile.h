// The memo file beside a table (.dbt or .fpt): texts and binary contents in blocks, reached from
// a record through a ten-digit block reference. The formats are in MemoDbt.h and MemoFpt.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "xbase/DbfHeader.h"
#include "xbase/TableFile.h"

namespace tavrik::xbase {

// What a memo block holds (the FoxPro block types: 1 text, 0 picture or binary, 2 object).
enum class TMemoType { binary = 0, text = 1, object = 2 };

struct TMemoData {
  TMemoType type = TMemoType::text;
  std::string bytes;
};

// A memo file belongs to its TTable, which serialises writers; reads may run from several
// threads at once.
class TMemoFile {
 public:
  explicit TMemoFile(TTableFile file) : file_(std::move(file)) {}
  virtual ~TMemoFile() = default;

  // The memo stored at `block`. Raises ETableCorrupt "Corrupt memo file <path>: ..." for a block
  // outside the file or a length that runs past its end.
  virtual TMemoData Read(uint32_t block) const = 0;
  // Stores `data` and returns its block: in the place of `old_block` (0: none) when it fits
  // there, else in new blocks at the end. With `shared`, the free-block pointer is read again
  // from the file first (another process may have added blocks); the caller holds the table's
  // header lock across the call.
  virtual uint32_t Write(uint32_t old_block, const TMemoData& data, bool shared) = 0;

  const std::string& Path() const { return file_.Path(); }
  void Sync() const { file_.Sync(); }

 protected:
  TTableFile file_;
};

// Opens the memo file at `path` in the format of `kind` (dbt or fpt).
std::unique_ptr<TMemoFile> OpenMemoFile(const std::string& path, TMemoKind kind, bool writable);
// Writes an empty memo file. `block_size` is used by .fpt files (bytes, 33..65535 or 1..32 times
// 512, 0 for the default 64); .dbt files always use 512-byte blocks.
void CreateMemoFile(const std::string& path, TMemoKind kind, int block_size);
// The block size in bytes that a memo block size setting gives for a new .fpt file, or 0 when
// the setting is not a valid one.
int FptBlockSizeOf(int setting);

}  // namespace tavrik::xbase
