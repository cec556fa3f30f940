// The program's start: the data module first, then the main window.
#pragma once

#include <memory>
#include <string>

#include "app/ClientDM.h"
#include "app/Main.h"

namespace tavrik {

struct TProgram {
  std::unique_ptr<TDM1> DM1;
  std::unique_ptr<TTavrikFrm> TavrikFrm;
};

// Creates DM1 and then TavrikFrm with `ini_path` as its settings file. When DM1 cannot be made
// (the local engine library is missing) the error is shown in an error box and nothing is
// returned: the program ends before any window exists.
std::unique_ptr<TProgram> StartProgram(const std::string& ini_path);

// The program entry after the application object exists: start, show the main window, run the
// message loop until it closes. Returns the process exit code.
int RunProgram();

}  // namespace tavrik
