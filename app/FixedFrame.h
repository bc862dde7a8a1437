// OfferNoResizing: a window of fixed size offers the window manager neither
// maximising nor resizing, so no frame button promises what it cannot do.
//
// X11 (FixedFrameX11.cpp): Qt marks every framed window resizable in its
// _MOTIF_WM_HINTS, whatever its size limits; the window's own hints say
// move, minimise and close only. Elsewhere (Wayland, offscreen) the equal
// minimum and maximum sizes are all there is.
// Windows (FixedFrameWin32.cpp): the fixed-size frame flag already does it.
#pragma once

class QWidget;

// Call once the window's flags and fixed size are set, before it is shown.
void OfferNoResizing(QWidget& window);
