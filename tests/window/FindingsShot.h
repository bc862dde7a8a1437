// The findings window's pictures for the README: opened over the main window
// after its run, both drawn into one image; then the record view of a blank
// title over them, the title typed in (correction.png beside the first).
#pragma once

#include <QString>

class TfmMain;

// Opens the findings window over window, saves the picture to path once it
// has painted, then the record view's to correction.png in path's folder,
// and ends the event loop (exit status 1 when it cannot save).
void SaveFindingsShot(TfmMain& window, const QString& path);
