#include "gui/AppIcon.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <cmath>
#include <numbers>

namespace trimwright {

namespace {

// The drawing is laid out on a 32 by 32 grid and scaled to the size asked for.
constexpr double kGrid = 32.0;
constexpr QPointF kDialCentre(16.0, 18.0);
constexpr double kDialRadius = 10.5;
// Qt measures arcs in sixteenths of a degree, counter-clockwise from 3 o'clock.
constexpr int kSixteenths = 16;
constexpr int kScaleStartDegrees = 215;
constexpr int kScaleSpanDegrees = -250;
constexpr int kRedZoneStartDegrees = 5;
constexpr int kRedZoneSpanDegrees = -40;
constexpr double kNeedleDegrees = 40.0;

}  // namespace

QIcon AppIcon::Create() {
  QIcon icon;
  icon.addPixmap(Paint(kLargeSize));
  icon.addPixmap(Paint(kSmallSize));
  return icon;
}

QPixmap AppIcon::Paint(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / kGrid, size / kGrid);

  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x1d, 0x2b, 0x3a));
  painter.drawRoundedRect(QRectF(1.0, 1.0, 30.0, 30.0), 6.0, 6.0);

  const QRectF dial(kDialCentre.x() - kDialRadius, kDialCentre.y() - kDialRadius, 2 * kDialRadius,
                    2 * kDialRadius);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0xd8, 0xdf, 0xe6), 3.0, Qt::SolidLine, Qt::FlatCap));
  painter.drawArc(dial, kScaleStartDegrees * kSixteenths, kScaleSpanDegrees * kSixteenths);
  painter.setPen(QPen(QColor(0xe5, 0x48, 0x3b), 3.0, Qt::SolidLine, Qt::FlatCap));
  painter.drawArc(dial, kRedZoneStartDegrees * kSixteenths, kRedZoneSpanDegrees * kSixteenths);

  const double needle = kNeedleDegrees * std::numbers::pi / 180.0;
  const QPointF tip(kDialCentre.x() + 9.0 * std::cos(needle),
                    kDialCentre.y() - 9.0 * std::sin(needle));
  painter.setPen(QPen(QColor(0xf5, 0xa6, 0x23), 2.5, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(kDialCentre, tip);

  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xf5, 0xa6, 0x23));
  painter.drawEllipse(kDialCentre, 2.5, 2.5);
  return pixmap;
}

}  // namespace trimwright
