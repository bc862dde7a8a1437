// The conversion run as the main window drives it: the preparation on the GUI
// thread, the stages on a worker, and what the run shows meanwhile.
#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTextCursor>

#include "TopLevel.h"
#include "fmain.h"

void TfmMain::actConvStartExecute() {
  if (working_ || !hasTargets_) return;
  working_ = true;
  UpdateRunActions();

  bool staged = false;
  ShowFailures([this, &staged] {
    // Its boxes and early ends belong on this thread; the window waits here
    // as the operator would.
    const bool go = run_.Prepare();
    hasTargets_ = !data_.TargetFiles.empty();
    if (go) {
      StartStages();
      staged = true;
    }
  });
  if (staged) return;
  working_ = false;
  hasTargets_ = !data_.TargetFiles.empty();
  UpdateRunActions();
  emit RunEnded();
  CloseIfAsked(true);
}

void TfmMain::StartStages() {
  worker_.Start([this] {
    // Its last lines come before its end, however it ends.
    const QScopeGuard sendLog([this] { host_.SendLog(); });
    run_.Execute();
  });
}

void TfmMain::StagesFinished() {
  working_ = false;
  SetBusy(false);
  hasTargets_ = !data_.TargetFiles.empty();
  UpdateRunActions();
  std::exception_ptr error = worker_.TakeError();
  if (error) ShowFailures([&] { std::rethrow_exception(error); });
  emit RunEnded();
  CloseIfAsked(error == nullptr);
}

void TfmMain::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void TfmMain::ShowProgress(int position, int maximum) {
  if (maximum <= 0) {
    ui.progBar->setRange(0, 100);
    ui.progBar->setValue(0);
    return;
  }
  ui.progBar->setRange(0, maximum);
  ui.progBar->setValue(std::clamp(position, 0, maximum));
}

void TfmMain::ClearLog() {
  ui.Memo1->clear();
  logLineCount_ = 0;
}

void TfmMain::AppendLog(const QStringList& lines) {
  // The log follows its end, unless the operator has scrolled back to read.
  QScrollBar* bar = ui.Memo1->verticalScrollBar();
  const bool following = bar->value() == bar->maximum();
  QTextCursor end(ui.Memo1->document());
  end.movePosition(QTextCursor::End);
  for (const QString& line : lines) {
    if (logLineCount_ > 0) end.insertBlock();
    end.insertText(line);
    ++logLineCount_;
  }
  if (following) bar->setValue(bar->maximum());
}
