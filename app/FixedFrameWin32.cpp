#include "FixedFrame.h"

// Qt::MSWindowsFixedSizeDialogHint gives the frame neither a maximise box
// nor a sizing border.
void OfferNoResizing(QWidget& /*window*/) {}
