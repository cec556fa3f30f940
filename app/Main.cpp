#include "app/Main.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/AppException.h"
#include "app/ClientDM.h"
#include "app/QtText.h"
#include "zip/ZipWrt.h"

namespace tavrik {

namespace {

template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

constexpr int kPanelWidths[5] = {150, 100, 100, 200, 50};
constexpr const char* kPanelTexts[5] = {"Server:", "Connected:", "Status", "", ""};

}  // namespace

TTavrikFrm::TTavrikFrm(TDM1& dm, std::string ini_path, QWidget* parent)
    : QMainWindow(parent),
      Zipwright1(new TZipwright(nullptr, reinterpret_cast<void*>(winId()))),
      zipwright_(Zipwright1),
      Actions(dm, *this, *Zipwright1),
      dm_(dm),
      ini_(std::make_unique<TIniFile>(std::move(ini_path), true)) {
  setObjectName("TavrikFrm");
  Zipwright1->SetName("Zipwright1");
  Zipwright1->SetAddCompLevel(9);
  BuildControls();
  FormCreate();
}

TTavrikFrm::~TTavrikFrm() = default;

void TTavrikFrm::BuildControls() {
  setWindowTitle("Tavrik");
  QFont font("MS Sans Serif");
  font.setPixelSize(13);
  setFont(font);
  resize(670, 468);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setCentralWidget(central);

  PageControl1 = Named(new QTabWidget(central), "PageControl1");
  TabSheet1 = Named(new QWidget, "TabSheet1");
  TabSheet2 = Named(new QWidget, "TabSheet2");
  TabSheet5 = Named(new QWidget, "TabSheet5");
  TabSheet3 = Named(new QWidget, "TabSheet3");
  TabSheet4 = Named(new QWidget, "TabSheet4");
  PageControl1->addTab(TabSheet1, "Instellingen");
  PageControl1->addTab(TabSheet2, "Upload");
  PageControl1->addTab(TabSheet5, "DownLoad");
  PageControl1->addTab(TabSheet3, "Tools");
  PageControl1->addTab(TabSheet4, "Backup");
  layout->addWidget(PageControl1, 1);

  FilePB = Named(new QProgressBar(central), "FilePB");
  FilePB->setFixedHeight(9);
  FilePB->setRange(0, 100);
  FilePB->setValue(0);
  FilePB->setTextVisible(false);
  layout->addWidget(FilePB);

  // Instellingen
  auto* settings = new QVBoxLayout(TabSheet1);
  Label3 = Named(new QLabel("Geeft naam van de host (port:8121):"), "Label3");
  HostEdt = Named(new QLineEdit, "HostEdt");
  ZipCB = Named(new QCheckBox("Comprimeren :"), "ZipCB");
  ZipCB->setLayoutDirection(Qt::RightToLeft);  // caption left of the box
  ZipCB->setChecked(true);
  settings->addWidget(Label3);
  settings->addWidget(HostEdt);
  settings->addWidget(ZipCB, 0, Qt::AlignLeft);
  Panel1 = Named(new QFrame, "Panel1");
  Panel1->setFrameShape(QFrame::StyledPanel);
  auto* login = new QGridLayout(Panel1);
  Label2 = Named(new QLabel("Geef login naam:"), "Label2");
  UserIdEdt = Named(new QLineEdit, "UserIdEdt");
  Label4 = Named(new QLabel("Geef paswoord:"), "Label4");
  PaswoordEdt = Named(new QLineEdit, "PaswoordEdt");
  PaswoordEdt->setEchoMode(QLineEdit::Password);
  PaswoordEdt->setStyleSheet("lineedit-password-character: 42");  // "*"
  LoginBtn = Named(new QPushButton("Login"), "LoginBtn");
  login->addWidget(Label2, 0, 0);
  login->addWidget(UserIdEdt, 0, 1);
  login->addWidget(Label4, 1, 0);
  login->addWidget(PaswoordEdt, 1, 1);
  login->addWidget(LoginBtn, 2, 1, Qt::AlignRight);
  connect(LoginBtn, &QPushButton::clicked, this, [this] { RunGuarded([this] { Actions.LoginBtnClick(); }); });
  settings->addWidget(Panel1);
  settings->addStretch(1);

  // Upload
  auto* upload = new QGridLayout(TabSheet2);
  Label1 = Named(new QLabel("Geef op te sturen bestand met volledig path:"), "Label1");
  BronBestandEdt = Named(new QLineEdit, "BronBestandEdt");
  BronBestandEdt->setFixedWidth(427);
  BladerBtn = Named(new QPushButton("Bladeren..."), "BladerBtn");
  StartBtn = Named(new QPushButton("Opsturen"), "StartBtn");
  StartBtn->setFixedSize(112, 50);
  upload->addWidget(Label1, 0, 0, 1, 2);
  upload->addWidget(BronBestandEdt, 1, 0);
  upload->addWidget(BladerBtn, 1, 1, Qt::AlignLeft);
  upload->addWidget(StartBtn, 2, 0, Qt::AlignLeft);
  connect(StartBtn, &QPushButton::clicked, this, [this] { RunGuarded([this] { Actions.StartBtnClick(); }); });
  upload->setRowStretch(3, 1);
  upload->setColumnStretch(2, 1);
  connect(BladerBtn, &QPushButton::clicked, this, [this] { RunGuarded([this] { BladerBtnClick(); }); });

  // DownLoad
  auto* download = new QVBoxLayout(TabSheet5);
  Memo1 = Named(new QPlainTextEdit, "Memo1");
  Button1 = Named(new QPushButton("Button1"), "Button1");
  download->addWidget(Memo1, 1);
  download->addWidget(Button1, 0, Qt::AlignLeft);

  // Tools
  auto* tools = new QVBoxLayout(TabSheet3);
  PageControl2 = Named(new QTabWidget, "PageControl2");
  QVRegCheckSheet = Named(new QWidget, "QVRegCheckSheet");
  PageControl2->addTab(QVRegCheckSheet, "QVRegCheck");
  tools->addWidget(PageControl2);

  // Status bar: five panels of fixed widths; the last one takes the rest of the bar.
  QStatusBar* bar = Named(new QStatusBar(this), "StatusBar1");
  bar->setSizeGripEnabled(false);
  for (int i = 0; i < 5; ++i) {
    const bool last = i == 4;
    panels_[i] = new QLabel(kPanelTexts[i]);
    panels_[i]->setObjectName(QString("StatusBar1Panel%1").arg(i));
    if (last)
      panels_[i]->setMinimumWidth(kPanelWidths[i]);
    else
      panels_[i]->setFixedWidth(kPanelWidths[i]);
    panels_[i]->setFrameShape(QFrame::Panel);
    panels_[i]->setFrameShadow(QFrame::Sunken);
    bar->addWidget(panels_[i], last ? 1 : 0);
  }
  setStatusBar(bar);

  OpenDlg.filter =
      "Quorvale files(*.MDB,*.MDW)|*.MDB;*.MDW|Gecomprimeerde files(*.ZIP,*.RAR)|*.ZIP;*.RAR|Alle files(*.*)|*.*";
  OpenDialog1.hide_read_only = true;
  OpenDialog1.path_must_exist = true;
  OpenDialog1.file_must_exist = true;
  OpenDialog1.sizable = true;
}

void TTavrikFrm::SetStatusText(int panel, const std::string& text) {
  if (panel >= 0 && panel < 5) panels_[panel]->setText(QStr(text));
}

std::string TTavrikFrm::StatusText(int panel) const {
  return panel >= 0 && panel < 5 ? AnsiStr(panels_[panel]->text()) : std::string();
}

std::string TTavrikFrm::UserIdText() { return AnsiStr(UserIdEdt->text()); }

std::string TTavrikFrm::PasswordText() { return AnsiStr(PaswoordEdt->text()); }

std::string TTavrikFrm::SourceFileText() { return AnsiStr(BronBestandEdt->text()); }

bool TTavrikFrm::Compression() { return ZipCB->isChecked(); }

void TTavrikFrm::ShowPage(int page) { PageControl1->setTabVisible(page, true); }

int TTavrikFrm::ProgressMax() { return FilePB->maximum(); }

void TTavrikFrm::SetProgressMin(int min) { FilePB->setMinimum(min); }

void TTavrikFrm::SetProgressMax(int max) { FilePB->setMaximum(max); }

void TTavrikFrm::SetProgressPosition(int position) { FilePB->setValue(position); }

void TTavrikFrm::FormCreate() {
  // A missing engine is reported by the component itself; start-up goes on without it.
  Zipwright1->LoadZipEngine();
  // The connection keeps this host for the whole run; an edited host takes effect next start.
  dm_.RemoteConnection->SetHost(ini_->ReadString("SERVER", "Host", kDefaultHost));
  HostEdt->setText(QStr(ini_->ReadString("SERVER", "Host", kDefaultHost)));
  UserIdEdt->setText(QStr(ini_->ReadString("CLIENT", "UserID", "")));
  PaswoordEdt->setText(QStr(ini_->ReadString("CLIENT", "Password", "")));
  ZipCB->setChecked(ini_->ReadBool("SERVER", "Compression", true));
  SetStatusText(0, dm_.RemoteConnection->Host());
  SetStatusText(1, "Disconnected");
  LoggedIn = false;
  Permissions.clear();
  SetStatusText(4, "Not loged in");
  BronBestandEdt->setText(QStr(ini_->ReadString("CLIENT", "LastFile", kDefaultLastFile)));
  for (int i = 1; i < PageControl1->count(); ++i) PageControl1->setTabVisible(i, false);
  PageControl1->setCurrentIndex(0);
}

void TTavrikFrm::FormCloseQuery(bool& can_close) {
  can_close = false;
  auto& dialogs = platform::CurrentDialogs();
  if (dialogs.Confirm("Programma afsluiten.") != platform::TModalResult::mrOk) return;
  can_close = true;
  if (dialogs.Confirm("Instellingen bewaren.") == platform::TModalResult::mrOk) {
    ini_->WriteString("SERVER", "Host", AnsiStr(HostEdt->text()));
    ini_->WriteBool("SERVER", "Compression", ZipCB->isChecked());
    ini_->WriteString("CLIENT", "LastFile", AnsiStr(BronBestandEdt->text()));
    ini_->WriteString("CLIENT", "UserID", AnsiStr(UserIdEdt->text()));
    ini_->WriteString("CLIENT", "Password", AnsiStr(PaswoordEdt->text()));
  }
  Zipwright1->UnloadZipEngine();
  // The last log row needs the server. When it cannot be written the error is shown, and the
  // program closes all the same: the user asked to end it.
  RunGuarded([this] { Actions.CloseApplication(); });
}

void TTavrikFrm::BladerBtnClick() {
  OpenDlg.file_name = AnsiStr(BronBestandEdt->text());
  platform::CurrentDialogs().OpenFile(OpenDlg);
  BronBestandEdt->setText(QStr(OpenDlg.file_name));
}

void TTavrikFrm::closeEvent(QCloseEvent* event) {
  // A running action is waiting on the server or on the user: the window stays until it ends.
  if (Actions.Running()) {
    event->ignore();
    return;
  }
  bool can_close = false;
  // An error (a settings file that cannot be written) ends the handler and keeps the window.
  if (!RunGuarded([&] { FormCloseQuery(can_close); })) can_close = false;
  if (can_close)
    event->accept();
  else
    event->ignore();
}

}  // namespace tavrik
