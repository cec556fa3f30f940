#include "app/Program.h"

#include <QApplication>

#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "tables/MDE61.h"

namespace tavrik {

std::unique_ptr<TProgram> StartProgram(const std::string& ini_path) {
  auto program = std::make_unique<TProgram>();
  try {
    program->DM1 = std::make_unique<TDM1>();
  } catch (const EMarvekDllError& error) {
    platform::CurrentDialogs().ShowMessage(error.Message(), platform::TMsgDlgType::mtError);
    return nullptr;
  }
  program->TavrikFrm = std::make_unique<TTavrikFrm>(*program->DM1, ini_path);
  return program;
}

int RunProgram() {
  std::string ini = platform::ChangeFileName(platform::ExecutablePath(), "Client.ini");
  std::unique_ptr<TProgram> program = StartProgram(ini);
  if (!program) return 1;
  program->TavrikFrm->show();
  return QApplication::exec();
}

}  // namespace tavrik
