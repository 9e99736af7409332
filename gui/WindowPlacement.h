// Where the program's windows beside the main one open: at the size they
// would like, made smaller where the screen is smaller, and centred on the
// screen's free area, so that no button falls off a laptop screen.
#ifndef TRIMWRIGHT_GUI_WINDOWPLACEMENT_H_
#define TRIMWRIGHT_GUI_WINDOWPLACEMENT_H_

#include <QRect>
#include <QSize>

class QWidget;

namespace trimwright {

// Room a window manager takes around a window's inside: its frame and title.
inline constexpr int kFrameWidth = 16;
inline constexpr int kFrameHeight = 48;

// The inside geometry of a window that would like to be wanted, on a
// screen whose free area is available: no larger than the free area less
// the frame, and centred in it.
QRect FittedGeometry(const QSize& wanted, const QRect& available);

// Gives window its fitted geometry on the screen it is on (its parent's).
void FitToScreen(QWidget& window, const QSize& wanted);

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_WINDOWPLACEMENT_H_
