// The Qt side of the ZIP component's password dialog: a fixed-size box built in code, with the
// prompt, a masked edit field of at most 80 characters and its buttons side by side.
#pragma once

#include <QDialog>
#include <vector>

#include "zip/PasswordDlg.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrik {

class QtPasswordBox : public QDialog {
 public:
  explicit QtPasswordBox(const TPasswordDlgView& view, QWidget* parent = nullptr);

  // How the box ended (after exec, or after a button was clicked).
  TPasswordButton Button() const;
  std::string Text() const;

  QLabel* Prompt;
  QLineEdit* Edit;
  std::vector<QPushButton*> Buttons;  // in the order OK, Cancel, cancel-all, Abort, those present
};

class QtPasswordDialog : public PasswordDialogPort {
 public:
  TPasswordButton Show(const TPasswordDlgView& view, std::string& text) override;
};

}  // namespace tavrik
