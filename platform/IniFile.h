// Profile (INI) files with the semantics of the Windows profile functions: sections and keys
// match without regard to case, lines that are not ours are kept, values are read up to 2047
// characters, integers decimal or hexadecimal after "0x". Every write rewrites the file through a
// temporary file renamed over the old one, so a crash never leaves half a settings file.
//
// File format, one item per line (CR LF or LF):
//   [Section]        a section header; blanks around the name are ignored
//   Key=Value        a key of the section above; blanks around key and value are ignored, and a
//                    value enclosed in matching single or double quotes loses them when read
//   anything else    kept as it is (comments, blank lines)
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/Exception.h"

namespace tavrik {

TAVRIK_EXCEPTION(EIniFileException, Exception);

class TIniFile {
 public:
  // `private_mode`: a file created by a write gets mode 0600 instead of 0666 less the umask
  // (for files that hold a password).
  explicit TIniFile(std::string file_name, bool private_mode = false);

  const std::string& FileName() const { return file_name_; }

  std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) const;
  int ReadInteger(const std::string& section, const std::string& key, int fallback) const;
  // Read as an integer; any value but 0 is true, and a value that is not a number is `fallback`.
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;
  // The key names of a section in file order, each once (as the first of equal keys is the one
  // read); empty when the section or the file is missing.
  std::vector<std::string> ReadSection(const std::string& section) const;

  // Raise EIniFileException "Unable to write to <file>" when the file cannot be written.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  static constexpr size_t kMaxValueLength = 2047;

 private:
  std::vector<std::string> LoadLines() const;
  // Calls `visit(key, value)` for each key line of `section` in file order until it returns false.
  void ForEachKey(const std::string& section,
                  const std::function<bool(const std::string&, const std::string&)>& visit) const;
  void SaveLines(const std::vector<std::string>& lines) const;

  std::string file_name_;
  bool private_mode_;
};

}  // namespace tavrik
