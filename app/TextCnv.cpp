// TextCnv: the window program. One instance per user; a second start brings
// the running window forward and ends. The first shows a splash window while
// the main window is built, then runs until that window closes.
#include <memory>

#include <QIcon>
#include <QLabel>

#include "SingleInstance.h"
#include "TestHooks.h"
#include "TopLevel.h"
#include "fSplash.h"
#include "fmain.h"

namespace {

const QString kInstanceName = QStringLiteral("5E7A9C31-04BD-4F62-9A18-C3D07E5B2F94");

void BringForward(QWidget& window) {
  const bool wasMinimized = window.isMinimized();
  if (wasMinimized) {
    window.showNormal();
  } else {
    window.show();
  }
  window.raise();
  window.activateWindow();
  TraceInstance(QStringLiteral("activated minimized=%1->%2")
                    .arg(int(wasMinimized))
                    .arg(int(window.isMinimized())));
}

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  app.setWindowIcon(QIcon::fromTheme(QStringLiteral("textcnv")));

  TSingleInstance instance(kInstanceName);
  if (!instance.Claim()) {
    instance.ActivateRunning();
    return 0;
  }

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

  TraceInstance(QStringLiteral("listening"));
  return app.exec();
}
