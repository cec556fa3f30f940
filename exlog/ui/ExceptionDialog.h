// The error dialog: the message, the OK, terminate and Details buttons and the three check boxes;
// Details unfolds the pages General, Call Stack, Modules and CPU below them and folds them away
// again. Size, position, window state and the list columns' widths are kept in the geometry
// file ("Ravlog.ini", section "Coordinates"). Widget object names are the control names, so
// tests find them.
#pragma once

#include <QDialog>
#include <string>

#include "exlog/EReport.h"
#include "exlog/ETypes.h"
#include "exlog/EUi.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace tavrik::exlog::ui {

class TExceptionDialog : public QDialog {
 public:
  TExceptionDialog(const TReport& report, const TRavlogModuleOptions& options, std::string geometry_file,
                   QWidget* parent = nullptr);

  bool Expanded() const;
  void SetExpanded(bool expanded);
  // The choices as the dialog stands (after exec: as the user left it).
  TDialogChoices Choices() const;

  QLabel* MessageLbl;
  QPushButton* OKBtn;
  QPushButton* TerminateBtn;
  QPushButton* DetailsBtn;
  QCheckBox* SendCB;
  QCheckBox* ScreenshotCB;
  QCheckBox* ClipboardCB;
  QTabWidget* PageControl;
  QPlainTextEdit* GeneralMemo;
  QTreeWidget* CallStackList;
  QTreeWidget* ModulesList;
  QPlainTextEdit* CpuMemo;

 protected:
  void done(int result) override;

 private:
  void LoadGeometry();
  void SaveGeometry();

  std::string geometry_file_;
  bool terminate_ = false;
  int collapsed_height_ = 0;
};

}  // namespace tavrik::exlog::ui
