// The command interpreter of mvsh: one line names one command of the connection and its
// arguments, and gives back the decoded result as one line of text.
//
// Lines: words separated by blanks; a word in double quotes may hold blanks, and inside it \"
// and \\ stand for " and \. Results: numbers in decimal, booleans as true/false, texts and
// records in double quotes with \r, \n, \", \\ and \xHH escapes, "ok" for commands without one.
//
// Ownership: the interpreter uses the connection it is given and never owns it.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "net/MvConn.h"

namespace tavrik::mvsh {

// A line that names no command or gives it arguments that do not read.
TAVRIK_EXCEPTION(EMvshUsage, Exception);

std::vector<std::string> SplitWords(const std::string& line);
std::string Quote(const std::string& text);

class Interpreter {
 public:
  explicit Interpreter(TMarvekConnection& connection);

  // Runs one command line; the result line. Raises EMvshUsage for a bad line; failures of the
  // command itself come as the connection raises them.
  std::string Execute(const std::string& line);
  // The command names, in order, for the help text.
  std::vector<std::string> Names() const;

 private:
  using Args = std::vector<std::string>;
  using Handler = std::function<std::string(const Args&)>;
  struct Command {
    std::string usage;  // the arguments, for messages
    size_t min_args;
    size_t max_args;
    Handler run;
  };

  void Define(const std::string& name, const std::string& usage, size_t min_args, size_t max_args, Handler run);
  void DefineTables();
  void DefineCursor();
  void DefineFields();
  void DefineIndexes();
  void DefineRecords();
  void DefineSettings();
  void DefineFiles();
  // The record size of the current work area as the last Use gave it, or `args[index]`.
  int RecordSize(const Args& args, size_t index) const;

  TMarvekConnection& connection_;
  std::map<std::string, Command> commands_;  // keyed by upper-cased name
  std::vector<std::string> names_;
  std::map<uint16_t, int> record_sizes_;  // work area -> record size
};

// Argument readers: raise EMvshUsage naming the command and the argument.
int32_t IntArg(const std::string& command, const std::string& arg);
double FloatArg(const std::string& command, const std::string& arg);
bool BoolArg(const std::string& command, const std::string& arg);

}  // namespace tavrik::mvsh
