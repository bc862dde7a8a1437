// textcnv-screenshot --start [OPTION...]: runs the window program's own
// start-up (WindowProgram.h: the guard, the splash, the main window), as
// TextCnv does, and then acts as the operator would, for the start-up tests
// and the Windows picture:
//   --minimized        the window is minimised once it is up;
//   --open browser|box once running, it opens its folder browser or a box
//                      and prints "modal" when that is up;
//   --answer-boxes     every message box, once up (the start-up failure's
//                      too), is printed as "box ICON TEXT" (ICON the number
//                      of its QMessageBox::Icon, line breaks as "|") and
//                      answered OK;
//   --convert FOLDER   once running, the window takes FOLDER as if confirmed
//                      in the folder browser, converts it and prints "run
//                      ended";
//   --log-menu         then prints "log menu: " and the texts of the log's
//                      context menu, "|" between them;
//   --picture FILE.png then saves what the screen shows of the window, frame
//                      and all, prints "picture saved" (or "picture not
//                      saved") and closes the window.
// The guard's own trace comes through its logging category (InstanceTrace.h).
#pragma once

// Exit status 2 for options it does not know.
int DriveTextCnv(int argc, char** argv);
