#include "net/mvsh/Mvsh.h"

#include <charconv>
#include <cstdio>

#include "core/StrUtils.h"

namespace tavrik::mvsh {

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) c = line[i++];
        word.push_back(c);
      }
      if (!closed) throw EMvshUsage("Unterminated quotation: " + line);
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') word.push_back(line[i++]);
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default:
        if (c < 32 || c >= 127) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out + "\"";
}

int32_t IntArg(const std::string& command, const std::string& arg) {
  auto value = TryStrToInt(arg);
  if (!value) throw EMvshUsage(command + ": not a number: " + arg);
  return *value;
}

double FloatArg(const std::string& command, const std::string& arg) {
  double value = 0;
  auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), value);
  if (arg.empty() || ec != std::errc() || end != arg.data() + arg.size())
    throw EMvshUsage(command + ": not a number: " + arg);
  return value;
}

bool BoolArg(const std::string& command, const std::string& arg) {
  const std::string a = UpperCase(arg);
  if (a == "Y" || a == "TRUE" || a == "1") return true;
  if (a == "N" || a == "FALSE" || a == "0") return false;
  throw EMvshUsage(command + ": not Y or N: " + arg);
}

Interpreter::Interpreter(TMarvekConnection& connection) : connection_(connection) {
  DefineTables();
  DefineCursor();
  DefineFields();
  DefineIndexes();
  DefineRecords();
  DefineSettings();
  DefineFiles();
}

void Interpreter::Define(const std::string& name, const std::string& usage, size_t min_args, size_t max_args,
                         Handler run) {
  commands_[UpperCase(name)] = Command{name + (usage.empty() ? "" : " " + usage), min_args, max_args, std::move(run)};
  names_.push_back(name);
}

std::vector<std::string> Interpreter::Names() const { return names_; }

std::string Interpreter::Execute(const std::string& line) {
  std::vector<std::string> words = SplitWords(line);
  if (words.empty()) return std::string();
  auto it = commands_.find(UpperCase(words[0]));
  if (it == commands_.end()) throw EMvshUsage("Unknown command: " + words[0]);
  const Command& command = it->second;
  Args args(words.begin() + 1, words.end());
  if (args.size() < command.min_args || args.size() > command.max_args)
    throw EMvshUsage("Usage: " + command.usage);
  return command.run(args);
}

int Interpreter::RecordSize(const Args& args, size_t index) const {
  if (index < args.size()) return IntArg("record size", args[index]);
  auto it = record_sizes_.find(connection_.CurrentWorkArea());
  if (it == record_sizes_.end()) throw EMvshUsage("Record size unknown: open the table with Use or give the size");
  return it->second;
}

}  // namespace tavrik::mvsh
