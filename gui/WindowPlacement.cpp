#include "gui/WindowPlacement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace trimwright {

QRect FittedGeometry(const QSize& wanted, const QRect& available) {
  const QSize size(std::min(wanted.width(), available.width() - kFrameWidth),
                   std::min(wanted.height(), available.height() - kFrameHeight));
  QRect geometry(QPoint(0, 0), size);
  // The title bar lies above the inside; the frame's sides share the rest.
  geometry.moveCenter(available.center() + QPoint(0, (kFrameHeight - kFrameWidth) / 2));
  return geometry;
}

void FitToScreen(QWidget& window, const QSize& wanted) {
  const QWidget* parent = window.parentWidget();
  const QScreen* screen = parent ? parent->screen() : window.screen();
  if (!screen) {
    window.resize(wanted);
    return;
  }
  window.setGeometry(FittedGeometry(wanted, screen->availableGeometry()));
}

}  // namespace trimwright
