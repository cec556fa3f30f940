#include "exlog/ui/SendProgressWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "exlog/ui/QtText.h"

namespace tavrik::exlog::ui {

TSendProgressWindow::TSendProgressWindow(const TCustomizedTexts& texts, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
  setObjectName("SendProgressWindow");
  setWindowTitle(QStr(texts[txSmtp]));
  StatusLbl = new QLabel;
  StatusLbl->setObjectName("StatusLbl");
  SendPB = new QProgressBar;
  SendPB->setObjectName("SendPB");
  SendPB->setTextVisible(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(StatusLbl);
  layout->addWidget(SendPB);
  resize(360, 80);
}

void TSendProgressWindow::SetStatus(const std::string& text) { StatusLbl->setText(QStr(text)); }

void TSendProgressWindow::SetPosition(int position, int maximum) {
  SendPB->setMaximum(std::max(maximum, 1));
  SendPB->setValue(std::min(position, SendPB->maximum()));
}

}  // namespace tavrik::exlog::ui
