#include "TextCnvDriver.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>

#include "ConversionRun.h"
#include "PathText.h"
#include "TopLevel.h"
#include "WindowProgram.h"
#include "fmain.h"

namespace {

struct Options {
  bool minimized = false;
  bool answerBoxes = false;
  bool logMenu = false;
  QString open;
  QString convert;
  QString picture;
};

Options& Given() {
  static Options options;
  return options;
}

void PrintLine(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

bool TakesValue(const QString& option) {
  return option == QLatin1String("--open") || option == QLatin1String("--convert") ||
         option == QLatin1String("--picture");
}

// The names only: a path's bytes in argv are the ANSI code page's on
// Windows, so the values are read once the application has the wide ones.
bool KnownOptions(int argc, char** argv) {
  for (int i = 2; i < argc; ++i) {
    const QString option = QString::fromLatin1(argv[i]);
    if (TakesValue(option)) {
      if (++i == argc) return false;
    } else if (option != QLatin1String("--minimized") &&
               option != QLatin1String("--answer-boxes") && option != QLatin1String("--log-menu")) {
      return false;
    }
  }
  return true;
}

void ReadOptions() {
  Options& options = Given();
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 2; i < arguments.size(); ++i) {
    const QString& option = arguments[i];
    const QString value = TakesValue(option) ? arguments[++i] : QString();
    if (option == QLatin1String("--minimized")) options.minimized = true;
    if (option == QLatin1String("--answer-boxes")) options.answerBoxes = true;
    if (option == QLatin1String("--log-menu")) options.logMenu = true;
    if (option == QLatin1String("--open")) options.open = value;
    if (option == QLatin1String("--convert")) options.convert = value;
    if (option == QLatin1String("--picture")) options.picture = value;
  }
}

// Answers every box once it is up, inside its own event loop.
class TBoxAnswerer : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (box == nullptr || event->type() != QEvent::Show) return false;
    QTimer::singleShot(0, box, [box] {
      QString text = box->text();
      text.replace(QLatin1Char('\n'), QLatin1Char('|'));
      PrintLine(QStringLiteral("box %1 %2").arg(int(box->icon())).arg(text));
      box->accept();
    });
    return false;
  }
};

// Runs as the application is made, before the program builds its window: a
// box of a failed start-up is answered too.
void SetUpDriver() {
  ReadOptions();
  if (Given().answerBoxes) qApp->installEventFilter(new TBoxAnswerer(qApp));
}

void OpenModal(TfmMain& window, const QString& modal) {
  QTimer::singleShot(0, &window, [&window, modal] {
    // Fires inside the modal window's own event loop, once it is up.
    QTimer::singleShot(0, &window, [] { PrintLine(QStringLiteral("modal")); });
    if (modal == QLatin1String("browser")) {
      window.ui.actSrcFolderSelect->trigger();
    } else {
      ShowFailures([] { MBox::Info(u8"起動の確認"); });
    }
  });
}

void PrintLogMenu(TfmMain& window) {
  // Qt's own words, as the log's context menu shows them.
  const std::unique_ptr<QMenu> menu(window.ui.Memo1->createStandardContextMenu());
  QStringList words;
  for (const QAction* action : menu->actions()) {
    if (!action->isSeparator()) words << action->text();
  }
  PrintLine(QStringLiteral("log menu: ") + words.join(QLatin1Char('|')));
}

void SaveScreenPicture(TfmMain& window, const QString& picture) {
  // Once the last log lines and the progress bar have been painted.
  QTimer::singleShot(1000, &window, [&window, picture] {
    const QRect frame = window.frameGeometry();
    const QPixmap shot =
        window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    PrintLine(shot.save(picture, "PNG") ? QStringLiteral("picture saved")
                                        : QStringLiteral("picture not saved"));
    window.close();
  });
}

void Convert(TfmMain& window, const Options& options) {
  QObject::connect(&window, &TfmMain::RunEnded, &window, [&window, &options] {
    PrintLine(QStringLiteral("run ended"));
    if (options.logMenu) PrintLogMenu(window);
    if (!options.picture.isEmpty()) SaveScreenPicture(window, options.picture);
  });
  QTimer::singleShot(0, &window, [&window, folder = options.convert] {
    window.SetFolderChooser([path = ToPath(folder)] { return std::optional(path); });
    window.ui.actSrcFolderSelect->trigger();
    window.ui.actConvStart->trigger();
  });
}

void Act(TfmMain& window) {
  const Options& options = Given();
  if (options.minimized) window.showMinimized();
  if (!options.open.isEmpty()) OpenModal(window, options.open);
  if (!options.convert.isEmpty()) Convert(window, options);
}

}  // namespace

int DriveTextCnv(int argc, char** argv) {
  if (!KnownOptions(argc, argv)) {
    std::fprintf(stderr,
                 "usage: textcnv-screenshot --start [--minimized] [--open browser|box] "
                 "[--answer-boxes] [--convert FOLDER [--log-menu] [--picture FILE.png]]\n");
    return 2;
  }
  qAddPreRoutine(SetUpDriver);
  return RunWindowProgram(argc, argv, Act);
}
