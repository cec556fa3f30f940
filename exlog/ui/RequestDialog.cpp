#include "exlog/ui/RequestDialog.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "exlog/ui/QtText.h"

namespace tavrik::exlog::ui {

TRequestDialog::TRequestDialog(const TCustomizedTexts& texts, QWidget* parent) : QDialog(parent) {
  setObjectName("RequestDialog");
  setWindowTitle(QStr(texts[txRequest] + "."));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  RequestLbl = new QLabel(QStr(texts[txReproduceSteps]));
  RequestLbl->setObjectName("RequestLbl");
  StepsMemo = new QPlainTextEdit;
  StepsMemo->setObjectName("StepsMemo");
  RequestOKBtn = new QPushButton(QStr(texts[txRequestOk]));
  RequestOKBtn->setObjectName("RequestOKBtn");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(RequestLbl);
  layout->addWidget(StepsMemo, 1);
  layout->addWidget(RequestOKBtn, 0, Qt::AlignRight);
  connect(RequestOKBtn, &QPushButton::clicked, this, &QDialog::accept);
  resize(420, 260);
}

std::string TRequestDialog::Steps() const { return AnsiStr(StepsMemo->toPlainText()); }

}  // namespace tavrik::exlog::ui
