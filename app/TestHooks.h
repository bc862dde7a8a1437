// Hidden hooks for the start-up tests, switched on by environment variables
// and doing nothing without them.
//
// TEXTCNV_TRACE_INSTANCE=1 (or =minimized, =browser, =box):
//   print "listening" on stdout once this process is the running instance;
//   whenever a later start brought it forward, "activated minimized=A->B"
//   and "front=NAME", NAME being the window brought to the front (its object
//   name, else its class). With "minimized" the window starts minimised;
//   with "browser" or "box" it opens its folder browser or a box once
//   listening and prints "modal" when that is up.
//   On Windows a later start raises the window itself, so the running
//   instance prints instead "minimized=A->B" when its window is minimised
//   or restored and "active" when it becomes the active window; the later
//   start prints "brought forward" when it found the window.
// TEXTCNV_CONVERT_FOR_TEST=FOLDER (for the Windows screenshot):
//   once listening, the window takes FOLDER as if confirmed in the folder
//   browser, converts it and prints "run ended". With
//   TEXTCNV_PICTURE_FOR_TEST=FILE.png it then saves what the screen shows of
//   the window, frame and all, to FILE.png, prints "picture saved" (or "not
//   saved") and closes. With TEXTCNV_LOG_MENU_FOR_TEST=1 it first prints
//   "log menu: " and the texts of the log's context menu, "|" between them.
// TEXTCNV_ANSWER_BOXES=1:
//   every message box, once up, is printed as "box ICON TEXT" (ICON the
//   number of its QMessageBox::Icon, line breaks as "|") and answered OK.
#pragma once

#include <QString>

class QMessageBox;
class TfmMain;

bool StartMinimizedForTest();
// "browser", "box" or empty.
QString ModalForTest();
bool TracingInstance();
void TraceInstance(const QString& line);
void AnswerBoxForTest(QMessageBox& box);
void ConvertForTest(TfmMain& window);
