#include "WindowProgram.h"

#include <memory>

#include <QLabel>

#include "AppSetup.h"
#include "BoxPresenter.h"
#include "InstanceTrace.h"
#include "SingleInstance.h"
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
  qCDebug(lcInstance).noquote() << QStringLiteral("activated minimized=%1->%2")
                                       .arg(int(wasMinimized))
                                       .arg(int(window.isMinimized()));
  qCDebug(lcInstance).noquote() << QStringLiteral("front=") + NameOf(*front);
}

int RunFirstInstance(TSingleInstance& instance, const WindowRunning& running) {
  auto splash = std::make_unique<TfmSplash>();
  splash->lblProcess->setText(QStringLiteral("起動しています…"));
  splash->ShowNow();

  TfmMain fmMain;
  QObject::connect(&instance, &TSingleInstance::ActivationRequested, &fmMain,
                   [&fmMain] { BringForward(fmMain); });
  fmMain.show();
  splash.reset();

  // Unmarked once the event loop ends, before the window goes.
  const TWindowMark mark = instance.MarkWindow(fmMain);
  if (running) running(fmMain);
  qCDebug(lcInstance) << "listening";
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

int RunWindowProgram(int argc, char** argv, const WindowRunning& running) {
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
    return RunFirstInstance(instance, running);
  } catch (...) {
    // The splash and the window are gone by now; the box stands alone.
    ShowStartUpFailure();
    return 1;
  }
}
