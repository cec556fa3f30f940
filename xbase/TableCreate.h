// Creating an empty table from a field list, with its memo file when it has memo fields: a
// dBASE III table with a .dbt file, or a FoxPro table with a .fpt file, as the table type asks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "xbase/DbfHeader.h"

namespace tavrik::xbase {

struct TFieldSpec {
  std::string name;
  char type = 'C';
  int width = 0;
  int decimals = 0;
};

// Table types as the tables send them: 1 Clipper (.dbt memo), 2 FoxPro (.fpt), 3 FoxPro-style
// with .fpt, 4 the same with .dbt. Raises ETableError "Unknown table type <n>".
TMemoKind MemoKindOfTableType(int table_type);

// Reads "NAME,TYPE,WIDTH,DECIMALS" items joined by ";" (decimals may be left out). Raises
// ETableError naming the item that cannot be read.
std::vector<TFieldSpec> ParseFieldList(std::string_view list);

// Creates (or replaces) the table at `path`. Field rules: names of 1 to 10 letters, digits and
// underscores starting with a letter, each once; C 1..254 wide; N and F 1..20 wide with 0..15
// decimals that leave room for the point and a digit; D, L, M, B, G, P their fixed widths (8,
// 1, 10) or 0 for that width. Refused while the file is open here or in another process.
void CreateTable(const std::string& path, const std::vector<TFieldSpec>& fields, int table_type, int memo_block_size);

}  // namespace tavrik::xbase
