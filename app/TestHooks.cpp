#include "TestHooks.h"

#include <cstdio>

#include <QMessageBox>
#include <QTimer>

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
