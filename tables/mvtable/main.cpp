// mvtable: a table through the dataset layer from the command line (see MvTable.h).
#include <clocale>
#include <iostream>

#include "tables/mvtable/MvTable.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  std::ios::sync_with_stdio(false);
  const int status = tavrik::mvtable::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  std::cout.flush();
  return status;
}
