#include "app/QtPasswordDlg.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "app/QtText.h"

namespace tavrik {

namespace {

constexpr int kButtonStep = 124;

}  // namespace

QtPasswordBox::QtPasswordBox(const TPasswordDlgView& view, QWidget* parent) : QDialog(parent) {
  setObjectName("PasswordDlg");
  setWindowTitle(QStr(view.caption));
  QFont font("Arial");
  font.setPixelSize(12);
  font.setBold(true);
  setFont(font);

  const unsigned bits[] = {pbbOK, pbbCancel, pbbCancelAll, pbbAbort};
  std::vector<TPasswordButton> present;
  for (int b = pbOK; b <= pbAbort; ++b)
    if ((view.buttons | pbbOK) & bits[b]) present.push_back(static_cast<TPasswordButton>(b));
  const int n = static_cast<int>(present.size());
  setFixedSize(35 + kButtonStep * n, 137);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  Prompt = new QLabel(QStr(view.prompt), this);
  Prompt->setGeometry(20, 8, 297, 18);
  Edit = new QLineEdit(this);
  Edit->setGeometry(20, 40, kButtonStep * n - 10, Edit->sizeHint().height());
  Edit->setEchoMode(QLineEdit::Password);
  Edit->setStyleSheet("lineedit-password-character: 42");  // "*"
  Edit->setMaxLength(static_cast<int>(kPasswordMaxLength));
  for (int j = 0; j < n; ++j) {
    TPasswordButton button = present[static_cast<size_t>(j)];
    auto* push = new QPushButton(QStr(view.button_text[button]), this);
    push->setGeometry(20 + kButtonStep * j, 72, 114, 28);
    push->setDefault(button == pbOK);
    // The dialog's result code is the button's value, offset so that 0 stays "closed otherwise".
    connect(push, &QPushButton::clicked, this, [this, button] { done(button + 1); });
    Buttons.push_back(push);
  }
}

TPasswordButton QtPasswordBox::Button() const {
  // Closing the box in another way (Escape, the window's close button) counts as Cancel.
  return result() == Rejected ? pbCancel : static_cast<TPasswordButton>(result() - 1);
}

std::string QtPasswordBox::Text() const { return AnsiStr(Edit->text()); }

TPasswordButton QtPasswordDialog::Show(const TPasswordDlgView& view, std::string& text) {
  QtPasswordBox box(view, QApplication::activeWindow());
  box.exec();
  text = box.Text();
  return box.Button();
}

}  // namespace tavrik
