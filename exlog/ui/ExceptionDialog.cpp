#include "exlog/ui/ExceptionDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "exlog/ui/QtText.h"
#include "platform/IniFile.h"

namespace tavrik::exlog::ui {

namespace {

constexpr const char* kSection = "Coordinates";
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 385;
constexpr int kNormalState = 1;
constexpr int kMaximizedState = 3;

template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

QPlainTextEdit* Memo(const std::string& text, const char* name) {
  auto* memo = Named(new QPlainTextEdit, name);
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  memo->setPlainText(QStr(text));
  return memo;
}

QTreeWidget* List(const std::vector<std::vector<std::string>>& rows_with_header, const char* name) {
  auto* list = Named(new QTreeWidget, name);
  list->setRootIsDecorated(false);
  list->setAlternatingRowColors(true);
  QStringList header;
  for (const std::string& h : rows_with_header.front()) header << QStr(h);
  list->setHeaderLabels(header);
  for (size_t r = 1; r < rows_with_header.size(); ++r) {
    QStringList cells;
    for (const std::string& c : rows_with_header[r]) cells << QStr(c);
    list->addTopLevelItem(new QTreeWidgetItem(cells));
  }
  return list;
}

// A page: its caption line above a list or a text.
QWidget* Page(const std::string& caption, QWidget* content) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel(QStr(caption)));
  layout->addWidget(content, 1);
  return page;
}

}  // namespace

TExceptionDialog::TExceptionDialog(const TReport& report, const TRavlogModuleOptions& options,
                                   std::string geometry_file, QWidget* parent)
    : QDialog(parent), geometry_file_(std::move(geometry_file)) {
  const TCustomizedTexts& t = options.CustomizedTexts;
  setObjectName("ExceptionDialog");
  setWindowTitle(QStr(t[txError]));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setSizeGripEnabled(true);

  auto* icon = new QLabel;
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
  MessageLbl = Named(new QLabel(QStr(t[txDialogMessage]).replace("\r\n", "\n")), "MessageLbl");
  MessageLbl->setWordWrap(true);
  OKBtn = Named(new QPushButton(QStr(t[txOk])), "OKBtn");
  TerminateBtn =
      Named(new QPushButton(QStr(t[options.TerminateButtonRestarts ? txRestart : txTerminate])), "TerminateBtn");
  DetailsBtn = Named(new QPushButton(QStr(t[txDetails])), "DetailsBtn");
  OKBtn->setDefault(true);
  SendCB = Named(new QCheckBox(QStr(t[txSendEmail])), "SendCB");
  ScreenshotCB = Named(new QCheckBox(QStr(t[txAttachScreenshot])), "ScreenshotCB");
  ClipboardCB = Named(new QCheckBox(QStr(t[txCopyToClipboard])), "ClipboardCB");
  SendCB->setChecked(options.EmailSendMode != esmNoEmail);
  SendCB->setVisible(options.EmailSendMode != esmNoEmail);
  ScreenshotCB->setChecked(options.AttachScreenshot);
  ScreenshotCB->setVisible(options.EmailSendMode != esmNoEmail && options.AttachScreenshot);
  ScreenshotCB->setEnabled(SendCB->isChecked());
  connect(SendCB, &QCheckBox::toggled, ScreenshotCB, &QWidget::setEnabled);

  PageControl = Named(new QTabWidget, "PageControl");
  GeneralMemo = Memo(report.general.Text(), "GeneralMemo");
  CallStackList = List(StackRows(report.stack, t), "CallStackList");
  ModulesList = List(ModuleRows(report.modules, t), "ModulesList");
  CpuMemo = Memo(report.cpu, "CpuMemo");
  PageControl->addTab(Page(t[txGeneralInfo], GeneralMemo), QStr(t[txGeneral]));
  PageControl->addTab(Page(t[txCallStackInfo], CallStackList), QStr(t[txCallStack]));
  PageControl->addTab(Page(t[txModulesInfo], ModulesList), QStr(t[txModules]));
  PageControl->addTab(Page(t[txCpuInfo], CpuMemo), QStr(t[txCpu]));
  PageControl->setCurrentIndex(options.ActivePage >= 0 && options.ActivePage < 4 ? options.ActivePage : 0);

  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addWidget(MessageLbl, 1);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(OKBtn);
  buttons->addWidget(TerminateBtn);
  buttons->addWidget(DetailsBtn);
  top->addLayout(buttons);
  auto* boxes = new QHBoxLayout;
  boxes->addWidget(SendCB);
  boxes->addWidget(ScreenshotCB);
  boxes->addWidget(ClipboardCB);
  boxes->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(boxes);
  layout->addWidget(PageControl, 1);

  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(TerminateBtn, &QPushButton::clicked, this, [this] {
    terminate_ = true;
    accept();
  });
  connect(DetailsBtn, &QPushButton::clicked, this, [this] { SetExpanded(!Expanded()); });

  PageControl->hide();
  collapsed_height_ = sizeHint().height();
  resize(kDefaultWidth, collapsed_height_);
  LoadGeometry();
}

bool TExceptionDialog::Expanded() const { return !PageControl->isHidden(); }

void TExceptionDialog::SetExpanded(bool expanded) {
  if (expanded == Expanded()) return;
  if (expanded) {
    PageControl->show();
    LoadGeometry();
  } else {
    SaveGeometry();
    PageControl->hide();
    setWindowState(windowState() & ~Qt::WindowMaximized);
    resize(width(), collapsed_height_);
  }
}

TDialogChoices TExceptionDialog::Choices() const {
  TDialogChoices choices;
  choices.send_email = !SendCB->isHidden() && SendCB->isChecked();
  choices.attach_screenshot = choices.send_email && !ScreenshotCB->isHidden() && ScreenshotCB->isChecked();
  choices.copy_to_clipboard = ClipboardCB->isChecked();
  choices.terminate = terminate_;
  return choices;
}

void TExceptionDialog::done(int result) {
  if (Expanded()) SaveGeometry();
  QDialog::done(result);
}

void TExceptionDialog::LoadGeometry() {
  TIniFile ini(geometry_file_);
  const bool expanded = Expanded();
  const int w = std::max(ini.ReadInteger(kSection, "Width", kDefaultWidth), 200);
  const int h = expanded ? std::max(ini.ReadInteger(kSection, "Height", kDefaultHeight), collapsed_height_)
                         : collapsed_height_;
  QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                  : QRect(0, 0, 1024, 768);
  int left = ini.ReadInteger(kSection, "Left", screen.x() + (screen.width() - w) / 2);
  int top = ini.ReadInteger(kSection, "Top", screen.y() + (screen.height() - h) / 2);
  // A stored place that would put the dialog off the screen is moved back onto it.
  left = std::clamp(left, screen.left(), std::max(screen.left(), screen.right() + 1 - w));
  top = std::clamp(top, screen.top(), std::max(screen.top(), screen.bottom() + 1 - h));
  setGeometry(left, top, w, h);
  if (expanded && ini.ReadInteger(kSection, "WindowsState", kNormalState) == kMaximizedState)
    setWindowState(windowState() | Qt::WindowMaximized);
  for (int c = 0; c < 6; ++c) {
    int stack = ini.ReadInteger(kSection, "Col" + std::to_string(c), 0);
    int module = ini.ReadInteger(kSection, "ColMod" + std::to_string(c), 0);
    if (stack > 0) CallStackList->setColumnWidth(c, stack);
    if (module > 0) ModulesList->setColumnWidth(c, module);
  }
}

void TExceptionDialog::SaveGeometry() {
  // The geometry is a convenience: a file that cannot be written loses it, nothing more.
  try {
    TIniFile ini(geometry_file_);
    const bool maximized = windowState() & Qt::WindowMaximized;
    const QRect g = maximized ? normalGeometry() : geometry();
    ini.WriteInteger(kSection, "Width", g.width());
    ini.WriteInteger(kSection, "Height", g.height());
    ini.WriteInteger(kSection, "Left", g.x());
    ini.WriteInteger(kSection, "Top", g.y());
    ini.WriteInteger(kSection, "WindowsState", maximized ? kMaximizedState : kNormalState);
    for (int c = 0; c < 6; ++c) {
      ini.WriteInteger(kSection, "Col" + std::to_string(c), CallStackList->columnWidth(c));
      ini.WriteInteger(kSection, "ColMod" + std::to_string(c), ModulesList->columnWidth(c));
    }
  } catch (const Exception&) {
  }
}

}  // namespace tavrik::exlog::ui
