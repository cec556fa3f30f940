#include "platform/Dialogs.h"

#include <cstdio>

namespace tavrik::platform {

namespace {
class ConsoleDialogs : public Dialogs {
 public:
  void ShowMessage(const std::string& text, TMsgDlgType) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  TModalResult Confirm(const std::string& text) override {
    std::fprintf(stderr, "%s [Cancel]\n", text.c_str());
    return TModalResult::mrCancel;
  }
  bool OpenFile(TOpenDialogOptions&) override { return false; }
};

ConsoleDialogs console;
Dialogs* current = nullptr;
}  // namespace

Dialogs& CurrentDialogs() { return current ? *current : console; }

Dialogs* SetDialogs(Dialogs* dialogs) {
  Dialogs* previous = current;
  current = dialogs;
  return previous;
}

}  // namespace tavrik::platform
