#include "gui/DialogUnits.h"

#include <QString>

namespace trimwright {

namespace {

constexpr int kQuartersPerCharWidth = 4;
constexpr int kEighthsPerCharHeight = 8;
constexpr int kDialogFontPoints = 8;

// value * numerator / denominator rounded to the nearest integer, halves away
// from zero, in 64 bits so that the product cannot overflow.
int ScaleRounded(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  const long long rounded =
      product >= 0 ? (product + half) / denominator : (product - half) / denominator;
  return static_cast<int>(rounded);
}

}  // namespace

DialogUnits DialogUnits::ForFont(const QFontMetrics& metrics) {
  const int alphabetWidth = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogUnits(AverageCharWidth(alphabetWidth), metrics.height());
}

int DialogUnits::AverageCharWidth(int alphabetWidth) { return (alphabetWidth / 26 + 1) / 2; }

QFont DialogUnits::DialogFont() {
  // DejaVu Sans is there on nearly every Linux desktop and keeps the layout
  // the same everywhere; where it is missing the style hint picks another
  // sans serif.
  QFont font(QStringLiteral("DejaVu Sans"), kDialogFontPoints);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

int DialogUnits::X(int units) const {
  return ScaleRounded(units, baseWidth_, kQuartersPerCharWidth);
}

int DialogUnits::Y(int units) const {
  return ScaleRounded(units, baseHeight_, kEighthsPerCharHeight);
}

}  // namespace trimwright
