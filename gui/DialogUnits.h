// Converts positions and sizes given in dialog units into pixels the way the
// Windows dialog manager does: a horizontal unit is a quarter of the dialog
// font's average character width, a vertical unit an eighth of its character
// height, each value rounded to the nearest pixel on its own. Both dialogs
// lay out their fixed templates with it. A plain value; copy freely.
#ifndef TRIMWRIGHT_GUI_DIALOGUNITS_H_
#define TRIMWRIGHT_GUI_DIALOGUNITS_H_

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QSize>

namespace trimwright {

class DialogUnits {
 public:
  // baseWidth is the average character width, baseHeight the character
  // height, both in pixels. REQUIRES: both greater than 0.
  DialogUnits(int baseWidth, int baseHeight) : baseWidth_(baseWidth), baseHeight_(baseHeight) {}

  // The units of a dialog laid out in the font that metrics measures.
  static DialogUnits ForFont(const QFontMetrics& metrics);

  // The average character width of a font whose 52 letters "A" to "Z" and
  // "a" to "z" together are alphabetWidth pixels wide: the width per pair of
  // letters, halved and rounded up.
  static int AverageCharWidth(int alphabetWidth);

  // The font both dialog templates name: a plain sans serif of 8 points.
  static QFont DialogFont();

  int X(int units) const;
  int Y(int units) const;
  QSize Size(int width, int height) const { return QSize(X(width), Y(height)); }
  QRect Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(width), Y(height));
  }

  int baseWidth() const { return baseWidth_; }
  int baseHeight() const { return baseHeight_; }

 private:
  int baseWidth_;
  int baseHeight_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_DIALOGUNITS_H_
