// The window program's whole start-up, as TextCnv runs it: one instance per
// user; a second start brings the running window forward and ends (and opens
// its own window when none came forward). The first shows a splash window
// while the main window is built, then runs until that window closes. A
// failure during start-up is shown in the error box and ends the program
// with 1.
#pragma once

#include <functional>

class TfmMain;

// Called once the main window is up and this process is the running
// instance, before the event loop starts.
using WindowRunning = std::function<void(TfmMain& window)>;

// Returns the program's exit status.
int RunWindowProgram(int argc, char** argv, const WindowRunning& running = {});
