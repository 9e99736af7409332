// The application's icon, drawn here rather than loaded: a dial on a dark
// tile whose needle stands in the upper range, with a red zone at its end.
// Painted sharp at each size the window system asks for (32 and 16 pixels).
#ifndef TRIMWRIGHT_GUI_APPICON_H_
#define TRIMWRIGHT_GUI_APPICON_H_

#include <QIcon>
#include <QPixmap>

namespace trimwright {

class AppIcon {
 public:
  static constexpr int kLargeSize = 32;
  static constexpr int kSmallSize = 16;

  // The icon with one image for each of the two sizes.
  static QIcon Create();

  // The picture at size by size pixels on a transparent ground.
  static QPixmap Paint(int size);
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_APPICON_H_
