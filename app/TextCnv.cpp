// TextCnv: the window program. One instance per user; a second start brings
// the running window forward and ends (and opens its own window when none
// came forward). The first shows a splash window while
// the main window is built, then runs until that window closes. A failure
// during start-up is shown in the error box and ends the program with 1.
#include <memory>

#include <QAction>
#include <QLabel>
#include <QTimer>

#include "AppSetup.h"
#include "BoxPresenter.h"
#include "ConversionRun.h"
#include "SingleInstance.h"
#include "TestHooks.h"
#include "TopLevel.h"
#include "fSplash.h"
#include "fmain.h"
#include "quenSignals.h"

namespace {

const QString kInstanceName = QStringLiteral("5E7A9C31-04BD-4F62-9A18-C3D07E5B2F94");

QString NameOf(const QWidget& widget) {
  return widget.objectName().isEmpty() ? QString::fromLatin1(widget.metaObject()->className())
                                       : widget.objectName();
}

void BringForward(QWidget& window) {
  const bool wasMinimized = window.isMinimized();
  if (wasMinimized) {
    window.showNormal();
  } else {
    window.show();
  }
  // An open box or folder browser is what the operator has to answer: it
  // comes to the front, never the window it blocks.
  QWidget* front = QApplication::activeModalWidget();
  if (front == nullptr) front = &window;
  front->raise();
  front->activateWindow();
  TraceInstance(QStringLiteral("activated minimized=%1->%2")
                    .arg(int(wasMinimized))
                    .arg(int(window.isMinimized())));
  TraceInstance(QStringLiteral("front=") + NameOf(*front));
}

void OpenModalForTest(TfmMain& window) {
  const QString modal = ModalForTest();
  if (modal.isEmpty()) return;
  QTimer::singleShot(0, &window, [&window, modal] {
    // Fires inside the modal window's own event loop, once it is up.
    QTimer::singleShot(0, &window, [] { TraceInstance(QStringLiteral("modal")); });
    if (modal == QLatin1String("browser")) {
      window.ui.actSrcFolderSelect->trigger();
    } else {
      ShowFailures([] { MBox::Info(Sjis("起動の確認")); });
    }
  });
}

int RunFirstInstance(TSingleInstance& instance) {
  auto splash = std::make_unique<TfmSplash>();
  splash->lblProcess->setText(QStringLiteral("起動しています…"));
  splash->ShowNow();

  TfmMain fmMain;
  QObject::connect(&instance, &TSingleInstance::ActivationRequested, &fmMain,
                   [&fmMain] { BringForward(fmMain); });
  if (StartMinimizedForTest()) {
    fmMain.showMinimized();
  } else {
    fmMain.show();
  }
  splash.reset();

  // Unmarked once the event loop ends, before the window goes.
  const TWindowMark mark = instance.MarkWindow(fmMain);
  TraceInstance(QStringLiteral("listening"));
  OpenModalForTest(fmMain);
  ConvertForTest(fmMain);
  return QApplication::exec();
}

// Call only inside a catch block. No window is left to own the box.
void ShowStartUpFailure() {
  TBoxPresenter boxes(nullptr);
  MessagePresenter* previous = MBox::SetPresenter(&boxes);
  ShowCurrentException();
  MBox::SetPresenter(previous);
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread or file: a run ended by a signal removes its
  // temporary files and the process still ends by that signal, as the
  // command line does.
  quenFile::InstallSignalHandling();
  TApplication app(argc, argv);
  SetUpApplication(app);
  try {
    TSingleInstance instance(kInstanceName);
    // Ends only once the running window has come forward; otherwise (it
    // is gone, or it does not answer) this start is the operator's window.
    if (!instance.Claim() && instance.ActivateRunning()) return 0;
    return RunFirstInstance(instance);
  } catch (...) {
    // The splash and the window are gone by now; the box stands alone.
    ShowStartUpFailure();
    return 1;
  }
}
