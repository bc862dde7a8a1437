#include "TestHooks.h"

#include <cstdio>

bool StartMinimizedForTest() {
  return qEnvironmentVariable("TEXTCNV_TRACE_INSTANCE") == QLatin1String("minimized");
}

void TraceInstance(const QString& line) {
  if (qEnvironmentVariableIsEmpty("TEXTCNV_TRACE_INSTANCE")) return;
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}
