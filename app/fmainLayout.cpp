// The main window's form (fmain.ui) completed with what a form file cannot
// hold: the window's frame and place, the fonts as lists of families, the
// buttons that follow their actions and the parts made in code.
#include <QAction>
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>

#include "AppFonts.h"
#include "EditActions.h"
#include "FixedFrame.h"
#include "FolderBrowser.h"
#include "FolderDrop.h"
#include "TopLevel.h"
#include "ViewMenu.h"
#include "fmain.h"

namespace {

const char* const kInstructions =
    "処理を始める前に、\n"
    "　Ａ．デスクトップ等にフォルダを作成（名前は何でもよい）\n"
    "　Ｂ．Ａで作成したフォルダーに、取込用ファイルをＭＯ等からコピー\n"
    "をしてから、以下にある手順１で、Ａで作成したフォルダーを選択して下さい";

// A button that triggers an action and follows its enabling, as
// action-linked buttons do. Alt+key presses it as a mnemonic would, but the
// caption stays the action's own: "(&R)" after it would not fit the button
// in the Windows font. Enter on the focused button presses it too (the
// form makes it an auto-default button).
void LinkButton(QPushButton* button, QAction* action, Qt::Key mnemonic) {
  button->setText(action->text());
  // After the caption: setText sets the shortcut from the caption's "&".
  button->setShortcut(QKeySequence(Qt::ALT | mnemonic));
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  QObject::connect(action, &QAction::changed, button,
                   [button, action] { button->setEnabled(action->isEnabled()); });
  button->setEnabled(action->isEnabled());
}

}  // namespace

void TfmMain::CompleteForm() {
  // Fixed in size: X window managers go by the form's equal minimum and
  // maximum sizes and the window's own frame hints, Windows by the flag.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  ui.setupUi(this);
  OfferNoResizing(*this);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  // A form file holds one family per font; these fonts name several.
  setFont(PGothicFont(12));
  ui.JvFileListBox1->setFont(PGothicFont(13));
  ui.Memo1->setFont(MinchoFont(12));
  // The labels size themselves to their text, in the font they now have.
  for (QWidget* label : {ui.Label1, ui.Label2, ui.Label3}) label->adjustSize();
  // A file name or a path is not typed here: no input method.
  ui.edtSrcFolder->setAttribute(Qt::WA_InputMethodEnabled, false);
  ui.JvFileListBox1->setAttribute(Qt::WA_InputMethodEnabled, false);
  ui.FileMenu->menuAction()->setObjectName(QStringLiteral("actFile"));
  ViewMenu = new TViewMenu(*this, ui.MainMenu);
  LinkButton(ui.btnSrcOpen, ui.actSrcFolderSelect, Qt::Key_S);
  LinkButton(ui.cxButton3, ui.actConvStart, Qt::Key_R);
  ui.btnSrcOpen->setFocus();

  SelectFolderDialog1 = new TSelectFolderDialog(this);
  EditActions = new TEditActions(this, {ui.edtSrcFolder, ui.Memo1});
  // A folder dropped on the window is chosen as in the folder browser.
  new TFolderDrop(
      this, [this] { return !working_; },
      [this](const std::filesystem::path& folder) { ShowFailures([&] { ChooseFolder(folder); }); });
  ConnectActions();
}

void TfmMain::ConnectActions() {
  // Opening the menu is all that the menu's own action does.
  connect(ui.FileMenu, &QMenu::aboutToShow, this, &TfmMain::actFileExecute);
  connect(ui.actExit, &QAction::triggered, this, &TfmMain::actExitExecute);
  connect(ui.actSrcFolderSelect, &QAction::triggered, this, &TfmMain::actSrcFolderSelectExecute);
  connect(ui.actConvStart, &QAction::triggered, this, &TfmMain::actConvStartExecute);
}

QString TfmMain::Instructions() { return QString::fromUtf8(kInstructions); }
