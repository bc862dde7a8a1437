// The two fonts of the program's windows. The Windows fonts are asked for
// first; where they are missing the IPA fonts of the same design stand in.
#pragma once

#include <QFont>

QFont PGothicFont(int pixelSize);
QFont MinchoFont(int pixelSize);
