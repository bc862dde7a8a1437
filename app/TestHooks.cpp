#include "TestHooks.h"

#include <cstdio>
#include <memory>
#include <optional>

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>

#include "PathText.h"
#include "fmain.h"

namespace {

void PrintLine(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

}  // namespace

bool StartMinimizedForTest() {
  return qEnvironmentVariable("TEXTCNV_TRACE_INSTANCE") == QLatin1String("minimized");
}

QString ModalForTest() {
  const QString mode = qEnvironmentVariable("TEXTCNV_TRACE_INSTANCE");
  return mode == QLatin1String("browser") || mode == QLatin1String("box") ? mode : QString();
}

bool TracingInstance() { return !qEnvironmentVariableIsEmpty("TEXTCNV_TRACE_INSTANCE"); }

void TraceInstance(const QString& line) {
  if (!TracingInstance()) return;
  PrintLine(line);
}

void AnswerBoxForTest(QMessageBox& box) {
  if (qEnvironmentVariableIsEmpty("TEXTCNV_ANSWER_BOXES")) return;
  // Runs inside the box's own event loop, so only once the box is up.
  QTimer::singleShot(0, &box, [&box] {
    QString text = box.text();
    text.replace(QLatin1Char('\n'), QLatin1Char('|'));
    PrintLine(QStringLiteral("box %1 %2").arg(int(box.icon())).arg(text));
    box.accept();
  });
}

void ConvertForTest(TfmMain& window) {
  const QString folder = qEnvironmentVariable("TEXTCNV_CONVERT_FOR_TEST");
  if (folder.isEmpty()) return;
  const QString picture = qEnvironmentVariable("TEXTCNV_PICTURE_FOR_TEST");
  QObject::connect(&window, &TfmMain::RunEnded, &window, [&window, picture] {
    PrintLine(QStringLiteral("run ended"));
    if (!qEnvironmentVariableIsEmpty("TEXTCNV_LOG_MENU_FOR_TEST")) {
      // Qt's own words, as the log's context menu shows them.
      const std::unique_ptr<QMenu> menu(window.ui.Memo1->createStandardContextMenu());
      QStringList words;
      for (const QAction* action : menu->actions()) {
        if (!action->isSeparator()) words << action->text();
      }
      PrintLine(QStringLiteral("log menu: ") + words.join(QLatin1Char('|')));
    }
    if (picture.isEmpty()) return;
    // Once the last log lines and the progress bar have been painted.
    QTimer::singleShot(1000, &window, [&window, picture] {
      const QRect frame = window.frameGeometry();
      const QPixmap shot =
          window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
      PrintLine(shot.save(picture, "PNG") ? QStringLiteral("picture saved")
                                          : QStringLiteral("picture not saved"));
      window.close();
    });
  });
  QTimer::singleShot(0, &window, [&window, folder] {
    window.SetFolderChooser([path = ToPath(folder)] { return std::optional(path); });
    window.ui.actSrcFolderSelect->trigger();
    window.ui.actConvStart->trigger();
  });
}
