// The findings window's picture for the README: opened over the main window
// after its run, both drawn into one image.
#pragma once

#include <QString>

class TfmMain;

// Opens the findings window over window, saves the picture to path once it
// has painted and ends the event loop (exit status 1 when it cannot save).
void SaveFindingsShot(TfmMain& window, const QString& path);
