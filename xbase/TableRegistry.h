// The tables open in this process, one TTable per file however many work areas use it, so that
// work areas on one file (a server's sessions, threads of a program) see each other's locks and
// appends. Decides who may open a file in which mode; closes a table when its last user leaves.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "xbase/Table.h"

namespace tavrik::xbase {

enum class TOpenMode { shared = 0, read_only = 1, exclusive = 2 };

class TTableRegistry {
 public:
  static TTableRegistry& Instance();

  // The table of `path` for one more user. Raises ETableError "Table <path> is in use by another
  // work area" for an exclusive request on an open table, "Table <path> is opened exclusively by
  // another work area" for any request on an exclusively open one, and the errors of TTable.
  std::shared_ptr<TTable> Acquire(const std::string& path, TOpenMode mode);
  // One user less; the last one closes the table (raising what closing raises).
  void Release(const std::shared_ptr<TTable>& table);
  // Whether the file at `path` is open in this process.
  bool IsOpen(const std::string& path);

 private:
  struct TEntry {
    std::shared_ptr<TTable> table;
    int users = 0;
  };
  using TFileId = std::pair<unsigned long, unsigned long>;  // device, inode

  std::mutex mutex_;
  std::map<TFileId, TEntry> open_;
};

}  // namespace tavrik::xbase
