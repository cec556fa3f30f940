#include "zip/PasswordDlg.h"

#include "zip/ZipText.h"

namespace tavrik {

namespace {

PasswordDialogPort* bound = nullptr;

}  // namespace

PasswordDialogPort* SetPasswordDialogPort(PasswordDialogPort* port) {
  PasswordDialogPort* previous = bound;
  bound = port;
  return previous;
}

TPasswordDlg::TPasswordDlg(unsigned buttons) : buttons_(buttons | pbbOK) {}

std::string TPasswordDlg::ShowPwdDlg(const std::string& caption, const std::string& prompt) {
  TPasswordDlgView view;
  view.caption = caption;
  view.prompt = prompt;
  view.buttons = buttons_;
  const int captions[] = {zmPwdOkButton, zmPwdCancelButton, zmPwdCancelAllButton, zmPwdAbortButton};
  for (size_t i = 0; i < view.button_text.size(); ++i) view.button_text[i] = ZipMessageText(captions[i], "");
  std::string text;
  result_ = bound ? bound->Show(view, text) : pbCancel;
  if (result_ != pbOK) return {};
  return text.substr(0, kPasswordMaxLength);
}

}  // namespace tavrik
