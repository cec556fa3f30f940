#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <optional>

#include "core/StrUtils.h"

namespace tavrik {

namespace {

// The section name of a header line, or nothing when the line is not a header.
std::optional<std::string> SectionOf(const std::string& line) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

// Splits "key=value"; nothing when the line has no "=" or an empty key.
std::optional<std::pair<std::string, std::string>> KeyValueOf(const std::string& line) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  std::string key = Trim(line.substr(0, eq));
  if (key.empty() || key[0] == ';') return std::nullopt;
  return std::make_pair(key, Trim(line.substr(eq + 1)));
}

std::string Unquote(std::string v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

TIniFile::TIniFile(std::string file_name, bool private_mode)
    : file_name_(std::move(file_name)), private_mode_(private_mode) {}

std::vector<std::string> TIniFile::LoadLines() const {
  std::vector<std::string> lines;
  std::ifstream in(file_name_, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

void TIniFile::SaveLines(const std::vector<std::string>& lines) const {
  std::string data;
  for (const auto& l : lines) data += l + "\r\n";

  // Keep the mode of an existing file; a new one is private when it will hold secrets.
  struct stat st {};
  mode_t mode = private_mode_ ? 0600 : 0666;
  bool exists = ::stat(file_name_.c_str(), &st) == 0;
  if (exists) mode = st.st_mode & 07777;

  std::string temp = file_name_ + ".tmp-XXXXXX";
  int fd = ::mkstemp(temp.data());
  bool ok = fd >= 0;
  if (ok) {
    if (!exists && !private_mode_) {
      mode_t mask = ::umask(0);
      ::umask(mask);
      mode &= ~mask;
    }
    ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), file_name_.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
  }
  if (!ok) throw EIniFileException("Unable to write to " + file_name_);
}

void TIniFile::ForEachKey(const std::string& section,
                          const std::function<bool(const std::string&, const std::string&)>& visit) const {
  bool in_section = false;
  for (const auto& line : LoadLines()) {
    if (auto s = SectionOf(line)) {
      in_section = SameText(*s, section);
      continue;
    }
    if (!in_section) continue;
    if (auto kv = KeyValueOf(line); kv && !visit(kv->first, kv->second)) return;
  }
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
  std::string result = fallback;
  ForEachKey(section, [&](const std::string& k, const std::string& value) {
    if (!SameText(k, key)) return true;
    result = Unquote(value);
    if (result.size() > kMaxValueLength) result.resize(kMaxValueLength);
    return false;
  });
  return result;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int fallback) const {
  std::string v = ReadString(section, key, "");
  return v.empty() ? fallback : StrToIntDef(v, fallback);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  std::vector<std::string> keys;
  ForEachKey(section, [&](const std::string& key, const std::string&) {
    bool seen = false;
    for (const auto& k : keys) seen = seen || SameText(k, key);
    if (!seen) keys.push_back(key);
    return true;
  });
  return keys;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  std::vector<std::string> lines = LoadLines();
  std::string entry = key + "=" + value;
  bool in_section = false;
  std::optional<size_t> section_end;  // index after the last line of the wanted section
  for (size_t i = 0; i < lines.size(); ++i) {
    if (auto s = SectionOf(lines[i])) {
      if (in_section) break;
      in_section = SameText(*s, section);
      if (in_section) section_end = i + 1;
      continue;
    }
    if (!in_section) continue;
    if (auto kv = KeyValueOf(lines[i]); kv && SameText(kv->first, key)) {
      lines[i] = entry;
      SaveLines(lines);
      return;
    }
    if (!Trim(lines[i]).empty()) section_end = i + 1;
  }
  if (section_end) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*section_end), entry);
  } else {
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
  }
  SaveLines(lines);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

}  // namespace tavrik
