// The main window TavrikFrm: its pages and controls, the status bar, the settings file
// Client.ini, and the handlers of start-up, closing and browsing. Widget object names are the
// control names, so tests and later handlers find them.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

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

// Program-wide login state: a login has succeeded in this run, and that account's permissions.
extern bool LoggedIn;
extern std::string Permissions;

// Pages of PageControl1 that a permission shows.
constexpr int kUploadPage = 1;
constexpr int kDownloadPage = 2;
constexpr int kToolsPage = 3;
constexpr int kBackupPage = 4;

constexpr const char* kDefaultHost = "localhost";
constexpr const char* kDefaultLastFile = "c:\\quorvale\\quorvale.mdb";

class TTavrikFrm : public QMainWindow {
 public:
  // `ini_path` is the settings file (the program passes Client.ini beside its executable).
  TTavrikFrm(TDM1& dm, std::string ini_path, QWidget* parent = nullptr);
  ~TTavrikFrm() override;

  void SetStatusText(int panel, const std::string& text);
  std::string StatusText(int panel) const;
  static std::string ChooseText(bool flag, const std::string& when_true, const std::string& when_false);

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
  // Compresses for the upload; owned by the window.
  TZipwright* Zipwright1;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();

  TDM1& dm_;
  std::unique_ptr<TIniFile> ini_;
  std::unique_ptr<TZipwright> zipwright_;
  QLabel* panels_[5];
};

}  // namespace tavrik
