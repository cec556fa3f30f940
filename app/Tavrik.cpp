// The program entry of Tavrik.
#include <QApplication>
#include <clocale>

#include "app/Program.h"
#include "app/QtPorts.h"
#include "exlog/ExceptionLog.h"
#include "exlog/ui/QtRavlogUi.h"
#include "platform/FormatSettings.h"

int main(int argc, char** argv) {
  // The logger first: an error anywhere from here on becomes a report.
  tavrik::exlog::Install(argc, argv);
  QApplication app(argc, argv);
  tavrik::exlog::ui::InstallRavlogUi();
  QApplication::setApplicationName("Tavrik");
  std::setlocale(LC_ALL, "");
  tavrik::platform::LoadFormatSettingsFromLocale();
  // Separators come from FormatSettings; the C library keeps reading and writing "." numbers.
  std::setlocale(LC_NUMERIC, "C");
  tavrik::BindQtPorts();
  return tavrik::RunProgram();
}
