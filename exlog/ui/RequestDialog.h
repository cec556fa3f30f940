// The request dialog: asks the user for the steps that reproduce the error.
#pragma once

#include <QDialog>
#include <string>

#include "exlog/ELang.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tavrik::exlog::ui {

class TRequestDialog : public QDialog {
 public:
  explicit TRequestDialog(const TCustomizedTexts& texts, QWidget* parent = nullptr);
  std::string Steps() const;

  QLabel* RequestLbl;
  QPlainTextEdit* StepsMemo;
  QPushButton* RequestOKBtn;
};

}  // namespace tavrik::exlog::ui
