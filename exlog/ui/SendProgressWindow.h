// The progress window of the SMTP dialogue: a status line and a progress bar.
#pragma once

#include <QWidget>
#include <string>

#include "exlog/ELang.h"

class QLabel;
class QProgressBar;

namespace tavrik::exlog::ui {

class TSendProgressWindow : public QWidget {
 public:
  explicit TSendProgressWindow(const TCustomizedTexts& texts, QWidget* parent = nullptr);
  void SetStatus(const std::string& text);
  void SetPosition(int position, int maximum);

  QLabel* StatusLbl;
  QProgressBar* SendPB;
};

}  // namespace tavrik::exlog::ui
