// mvtable: one table through the dataset layer (TMarvekTable), on a Marvek server or in a local
// folder, for administrators and tests. Run() is the whole tool; main.cpp only hands it the
// command line and the standard streams.
//
// Output is CSV (RFC 4180: CR LF line ends; a value holding a comma, a double quote, CR or LF is
// put in double quotes, its quotes doubled). Values: text as the table decodes it (trailing
// blanks removed), numbers as plain decimal text with "." as separator ("%.15G"), dates as
// yyyy-mm-dd, logicals T or F, empty values (and dates that are no valid date) as empty cells,
// memos their whole text.
//
// Exit status: 0 done; 1 locate found no record; 2 the command line does not read; 3 the
// connection, the table or a value failed (its message on standard error).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "data/Field.h"

namespace tavrik::mvtable {

std::string CsvCell(const std::string& text);
// The cells joined by commas, with CR LF.
std::string CsvLine(const std::vector<std::string>& cells);
// A field's current value in the tool's CSV form (not yet quoted).
std::string CellText(const TField& field);

// `args` without the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tavrik::mvtable
