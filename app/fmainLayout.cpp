// The controls of the main window, where they sit and how they look.
#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "AppFonts.h"
#include "EditActions.h"
#include "FileListBox.h"
#include "FixedFrame.h"
#include "FolderBrowser.h"
#include "FolderDrop.h"
#include "LogMemo.h"
#include "TopLevel.h"
#include "ViewMenu.h"
#include "fmain.h"

namespace {

constexpr int kClientWidth = 524;
constexpr int kClientHeight = 583;

const char* const kInstructions =
    "処理を始める前に、\n"
    "　Ａ．デスクトップ等にフォルダを作成（名前は何でもよい）\n"
    "　Ｂ．Ａで作成したフォルダーに、取込用ファイルをＭＯ等からコピー\n"
    "をしてから、以下にある手順１で、Ａで作成したフォルダーを選択して下さい";

template <typename Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

QLabel* AutoSizeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->move(left, top);
  label->adjustSize();
  return label;
}

QAction* NewAction(QWidget* window, const char* name, const QString& caption) {
  auto* action = new QAction(caption, window);
  action->setObjectName(QLatin1String(name));
  window->addAction(action);
  return action;
}

// A button that triggers an action and follows its enabling, as
// action-linked buttons do. Alt+key presses it as a mnemonic would, but the
// caption stays the action's own: "(&R)" after it would not fit the button
// in the Windows font. Enter on the focused button presses it too.
void LinkButton(QPushButton* button, QAction* action, Qt::Key mnemonic) {
  button->setText(action->text());
  // After the caption: setText sets the shortcut from the caption's "&".
  button->setShortcut(QKeySequence(Qt::ALT | mnemonic));
  button->setAutoDefault(true);
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  QObject::connect(action, &QAction::changed, button,
                   [button, action] { button->setEnabled(action->isEnabled()); });
  button->setEnabled(action->isEnabled());
}

}  // namespace

void TfmMain::CreateControls() {
  setObjectName(QStringLiteral("fmMain"));
  setWindowTitle(QStringLiteral("Velmoraテキストユーティリティ"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  // Fixed in size: X window managers go by the equal minimum and maximum
  // sizes and the window's own frame hints, Windows by the flag.
  setFixedSize(kClientWidth, kClientHeight);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  OfferNoResizing(*this);
  setFont(PGothicFont(12));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  actExit = NewAction(this, "actExit", QStringLiteral("終了(&X)"));
  actSrcFolderSelect = NewAction(this, "actSrcFolderSelect", QStringLiteral("フォルダの選択"));
  actConvStart = NewAction(this, "actConvStart", QStringLiteral("変換スタート"));

  MainMenu = Place(new QMenuBar(this), "MainMenu", 0, 0, kClientWidth, 22);
  QMenu* fileMenu = MainMenu->addMenu(QStringLiteral("ファイル(&F)"));
  fileMenu->setObjectName(QStringLiteral("FileMenu"));
  fileMenu->addAction(actExit);
  actFile = fileMenu->menuAction();
  actFile->setObjectName(QStringLiteral("actFile"));
  ViewMenu = new TViewMenu(*this, MainMenu);

  Panel1 = Place(new QFrame(this), "Panel1", 28, 28, 460, 71);
  // Lowered outside, raised inside: an etched frame.
  Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Panel1->setLineWidth(1);
  lblTop = Place(new QLabel(Panel1), "lblTop", 11, 7, 438, 58);
  lblTop->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  Label1 = AutoSizeLabel(this, "Label1",
                         QStringLiteral("１．取込用ファイルが入っているフォルダフォルダを選択する"),
                         10, 111);

  edtSrcFolder = Place(new QLineEdit(this), "edtSrcFolder", 28, 131, 355, 20);
  edtSrcFolder->setReadOnly(true);
  QPalette silver = edtSrcFolder->palette();
  silver.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
  edtSrcFolder->setPalette(silver);
  edtSrcFolder->setFocusPolicy(Qt::ClickFocus);
  edtSrcFolder->setAttribute(Qt::WA_InputMethodEnabled, false);

  btnSrcOpen = Place(new QPushButton(this), "btnSrcOpen", 387, 129, 101, 25);
  LinkButton(btnSrcOpen, actSrcFolderSelect, Qt::Key_S);

  Label2 = AutoSizeLabel(this, "Label2", QStringLiteral("変換対象ファイル："), 28, 159);

  JvFileListBox1 = Place(new TFileListBox(this), "JvFileListBox1", 28, 175, 460, 107);
  JvFileListBox1->setFont(PGothicFont(13));
  JvFileListBox1->setAttribute(Qt::WA_InputMethodEnabled, false);

  Label3 = AutoSizeLabel(this, "Label3", QStringLiteral("２．変換をする"), 10, 299);

  cxButton3 = Place(new QPushButton(this), "cxButton3", 28, 325, 84, 25);
  LinkButton(cxButton3, actConvStart, Qt::Key_R);

  progBar = Place(new QProgressBar(this), "progBar", 121, 329, 192, 17);
  progBar->setRange(0, 100);
  progBar->setValue(0);
  progBar->setTextVisible(false);

  Memo1 = Place(new TLogMemo(this), "Memo1", 28, 355, 460, 204);
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setTabChangesFocus(true);
  Memo1->setFont(MinchoFont(12));

  // Only these four take the focus with Tab, in this order.
  for (QWidget* w :
       std::initializer_list<QWidget*>{Panel1, lblTop, Label1, Label2, Label3, progBar, MainMenu}) {
    w->setFocusPolicy(Qt::NoFocus);
  }
  btnSrcOpen->setFocusPolicy(Qt::StrongFocus);
  cxButton3->setFocusPolicy(Qt::StrongFocus);
  setTabOrder(btnSrcOpen, JvFileListBox1);
  setTabOrder(JvFileListBox1, cxButton3);
  setTabOrder(cxButton3, Memo1);
  btnSrcOpen->setFocus();

  SelectFolderDialog1 = new TSelectFolderDialog(this);
  EditActions = new TEditActions(this, {edtSrcFolder, Memo1});
  // A folder dropped on the window is chosen as in the folder browser.
  new TFolderDrop(
      this, [this] { return !working_; },
      [this](const std::filesystem::path& folder) { ShowFailures([&] { ChooseFolder(folder); }); });

  // Opening the menu is all that the menu's own action does.
  connect(fileMenu, &QMenu::aboutToShow, this, &TfmMain::actFileExecute);
  connect(actExit, &QAction::triggered, this, &TfmMain::actExitExecute);
  connect(actSrcFolderSelect, &QAction::triggered, this, &TfmMain::actSrcFolderSelectExecute);
  connect(actConvStart, &QAction::triggered, this, &TfmMain::actConvStartExecute);
}

QString TfmMain::Instructions() { return QString::fromUtf8(kInstructions); }
