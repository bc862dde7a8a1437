// A hidden hook for the start-up tests, switched on by an environment
// variable and doing nothing without it.
//
// TEXTCNV_TRACE_INSTANCE=1 (or =minimized):
//   print "listening" on stdout once this process is the running instance and
//   "activated minimized=A->B" whenever a later start brought it forward;
//   with "minimized" the window starts minimised.
#pragma once

#include <QString>

bool StartMinimizedForTest();
void TraceInstance(const QString& line);
