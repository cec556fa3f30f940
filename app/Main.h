// The main window TavrikFrm: its pages and controls, the status bar, the settings file
// Client.ini, and the handlers of start-up, closing and browsing. The program's actions (login,
// upload, closing log row) run in TMainActions; the window binds its widgets to them and serves
// as their port. Widget object names are the control names, so tests and later handlers find
// them.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "app/ActionPorts.h"
#include "app/MainActions.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QWidget;

namespace tavrik {

class TDM1;
class TZipwright;

constexpr const char* kDefaultHost = "localhost";
constexpr const char* kDefaultLastFile = "c:\\quorvale\\quorvale.mdb";

class TTavrikFrm : public QMainWindow, public TActionPorts {
 public:
  // `ini_path` is the settings file (the program passes Client.ini beside its executable).
  TTavrikFrm(TDM1& dm, std::string ini_path, QWidget* parent = nullptr);
  ~TTavrikFrm() override;

  void SetStatusText(int panel, const std::string& text) override;
  std::string StatusText(int panel) const;

  // The actions' port onto the controls.
  std::string UserIdText() override;
  std::string PasswordText() override;
  std::string SourceFileText() override;
  bool Compression() override;
  void ShowPage(int page) override;
  int ProgressMax() override;
  void SetProgressMin(int min) override;
  void SetProgressMax(int max) override;
  void SetProgressPosition(int position) override;

  // Handlers.
  void FormCreate();
  void FormCloseQuery(bool& can_close);
  void BladerBtnClick();

  // Controls, named as in the window's description.
  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QWidget* TabSheet5;
  QWidget* TabSheet3;
  QWidget* TabSheet4;
  QLabel* Label3;
  QLineEdit* HostEdt;
  QCheckBox* ZipCB;
  QFrame* Panel1;
  QLabel* Label2;
  QLineEdit* UserIdEdt;
  QLabel* Label4;
  QLineEdit* PaswoordEdt;
  QPushButton* LoginBtn;
  QLabel* Label1;
  QLineEdit* BronBestandEdt;
  QPushButton* BladerBtn;
  QPushButton* StartBtn;
  QPlainTextEdit* Memo1;
  QPushButton* Button1;
  QTabWidget* PageControl2;
  QWidget* QVRegCheckSheet;
  QProgressBar* FilePB;
  platform::TOpenDialogOptions OpenDlg;
  platform::TOpenDialogOptions OpenDialog1;
  // Compresses for the upload; owned by the window (zipwright_), lent to the actions.
  TZipwright* Zipwright1;

 private:
  // Made before the actions, which borrow it.
  std::unique_ptr<TZipwright> zipwright_;

 public:
  // The buttons' actions, with this window as their port.
  TMainActions Actions;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();

  TDM1& dm_;
  std::unique_ptr<TIniFile> ini_;
  QLabel* panels_[5];
};

}  // namespace tavrik
