// Draws the convergence chart of the README: the mean distance of the warm
// part-throttle trims from the target, pass after pass, over the simulated
// noisy engine with transients, without limits and with a careful tuner's.
// Runs both loops itself and saves the chart as the PNG file named; run it
// with QT_QPA_PLATFORM=offscreen to need no display (scripts/convergence does).
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "tools/ConvergenceLoop.h"
#include "tools/ScratchDir.h"

namespace {

using trimwright::tools::PassDistance;

constexpr int kWidth = 960;
constexpr int kHeight = 600;
constexpr int kPasses = 10;
const QRect kPlot(90, 90, 840, 360);

struct Series {
  QString name;
  QColor color;
  std::vector<PassDistance> distances;
};

QString Within(const std::vector<PassDistance>& distances) {
  const int passes = trimwright::tools::PassesToWithin(distances, 1.0);
  if (passes < 0) return QStringLiteral("not within 1 count in %1 passes").arg(kPasses);
  return QStringLiteral("within 1 count after %1 pass%2").arg(passes).arg(passes == 1 ? "" : "es");
}

void Draw(QPainter& painter, const std::vector<Series>& series, const QString& engine) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(0, 0, kWidth, kHeight, Qt::white);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(18);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(QRect(0, 14, kWidth, 28), Qt::AlignCenter,
                   QStringLiteral("Distance of the trims from the target, pass after pass"));
  font.setPixelSize(13);
  painter.setFont(font);
  painter.drawText(QRect(0, 44, kWidth, 22), Qt::AlignCenter, engine);

  double highest = 1.0;
  for (const Series& s : series) {
    for (const PassDistance& d : s.distances) highest = std::max(highest, d.meanDistance);
  }
  const double top = std::ceil(highest);
  auto x = [](int pass) { return kPlot.left() + kPlot.width() * pass / double(kPasses); };
  auto y = [top](double counts) { return kPlot.bottom() - kPlot.height() * counts / top; };

  // The grid, a line every half count and every pass, and the axes' numbers.
  for (int half = 0; half <= static_cast<int>(top * 2); ++half) {
    const double counts = half / 2.0;
    painter.setPen(QPen(QColor(225, 225, 225), 1));
    painter.drawLine(QPointF(kPlot.left(), y(counts)), QPointF(kPlot.right(), y(counts)));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(kPlot.left() - 60, y(counts) - 10, 52, 20),
                     Qt::AlignRight | Qt::AlignVCenter, QString::number(counts, 'f', 1));
  }
  for (int pass = 0; pass <= kPasses; ++pass) {
    painter.setPen(QPen(QColor(235, 235, 235), 1));
    painter.drawLine(QPointF(x(pass), kPlot.top()), QPointF(x(pass), kPlot.bottom()));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(x(pass) - 20, kPlot.bottom() + 6, 40, 20), Qt::AlignCenter,
                     QString::number(pass));
  }
  painter.setPen(QPen(Qt::black, 1));
  painter.drawLine(kPlot.bottomLeft(), kPlot.bottomRight());
  painter.drawLine(kPlot.bottomLeft(), kPlot.topLeft());
  painter.drawText(QRect(kPlot.left(), kPlot.bottom() + 28, kPlot.width(), 20), Qt::AlignCenter,
                   QStringLiteral("passes (0: the image before the first pass)"));
  painter.save();
  painter.translate(24, kPlot.center().y());
  painter.rotate(-90);
  painter.drawText(QRect(-kPlot.height() / 2, -10, kPlot.height(), 20), Qt::AlignCenter,
                   QStringLiteral("mean distance from the target (BLM counts)"));
  painter.restore();

  painter.setPen(QPen(QColor(90, 90, 90), 1.5, Qt::DashLine));
  painter.drawLine(QPointF(kPlot.left(), y(1.0)), QPointF(kPlot.right(), y(1.0)));

  int legendY = kPlot.bottom() + 62;
  for (const Series& s : series) {
    QPainterPath line;
    for (const PassDistance& d : s.distances) {
      const QPointF at(x(d.pass), y(d.meanDistance));
      if (d.pass == 0)
        line.moveTo(at);
      else
        line.lineTo(at);
    }
    painter.setPen(QPen(s.color, 2.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(line);
    painter.setBrush(s.color);
    for (const PassDistance& d : s.distances) {
      painter.drawEllipse(QPointF(x(d.pass), y(d.meanDistance)), 4.0, 4.0);
    }
    painter.drawLine(QPointF(kPlot.left(), legendY + 10), QPointF(kPlot.left() + 36, legendY + 10));
    painter.setPen(Qt::black);
    painter.drawText(QRect(kPlot.left() + 46, legendY, kPlot.width() - 46, 20),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     s.name + QStringLiteral(": ") + Within(s.distances));
    legendY += 26;
  }
  painter.setPen(QPen(QColor(90, 90, 90), 1.5, Qt::DashLine));
  painter.drawLine(QPointF(kPlot.left(), legendY + 10), QPointF(kPlot.left() + 36, legendY + 10));
  painter.setPen(Qt::black);
  painter.drawText(QRect(kPlot.left() + 46, legendY, kPlot.width() - 46, 20),
                   Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("1 count from the target"));
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CHART.png\n", argv[0]);
    return 2;
  }
  namespace tools = trimwright::tools;
  tools::ConvergenceSettings settings;
  settings.passes = kPasses;
  settings.roughness = tools::NoisyEngine();
  const trimwright::tools::ScratchDir folder;
  std::vector<Series> series;
  series.push_back({QStringLiteral("no limits"), QColor(200, 60, 40),
                    tools::RunConvergenceLoop(settings, folder.path())});
  settings.limits = tools::CarefulLimits();
  series.push_back({QString::fromStdString(tools::LimitOptions(settings.limits)),
                    QColor(30, 90, 190), tools::RunConvergenceLoop(settings, folder.path())});

  const QString engine =
      QStringLiteral(
          "noisy engine: BLMs \u00B1%1 counts, a tip-in or tip-out on %2% of cruise records; "
          "%3 records a drive; target BLM %4")
          .arg(QString::number(settings.roughness.blmNoise, 'g', 6),
               QString::number(settings.roughness.transientPercent, 'g', 6),
               QString::number(settings.driveRecords), QString::number(settings.targetBlm));
  QImage chart(kWidth, kHeight, QImage::Format_RGB32);
  {
    QPainter painter(&chart);
    Draw(painter, series, engine);
  }
  if (!chart.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
