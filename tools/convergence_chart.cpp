// Draws the convergence chart of docs/sessions.md: the mean distance of the warm
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

// What a chart shows of each pass: the value, its axis, and what the
// legend says of a series.
struct Measure {
  QString title;
  QString axis;
  double (*value)(const PassDistance&);
  QString (*legend)(const std::vector<PassDistance>&);
  // A dashed line across the plot at this value, with its legend, or none.
  double reference;
  QString referenceLegend;
};

QString Within(const std::vector<PassDistance>& distances) {
  const int passes = trimwright::tools::PassesToWithin(distances, 1.0);
  if (passes < 0) return QStringLiteral("not within 1 count in %1 passes").arg(kPasses);
  return QStringLiteral("within 1 count after %1 pass%2").arg(passes).arg(passes == 1 ? "" : "es");
}

QString AfterLastPass(const std::vector<PassDistance>& distances) {
  const PassDistance& last = distances.back();
  return QStringLiteral("after pass %1: VE %2 % off on average, %3 % at worst; trims %4 counts off")
      .arg(last.pass)
      .arg(last.veErrorMean, 0, 'f', 2)
      .arg(last.veErrorWorst, 0, 'f', 1)
      .arg(last.meanDistance, 0, 'f', 2);
}

const Measure kTrimDistance{
    QStringLiteral("Distance of the trims from the target, pass after pass"),
    QStringLiteral("mean distance from the target (BLM counts)"),
    [](const PassDistance& d) { return d.meanDistance; },
    Within,
    1.0,
    QStringLiteral("1 count from the target")};

const Measure kVeError{QStringLiteral("How far the VE table is from the engine, pass after pass"),
                       QStringLiteral("mean VE error of the cells driven (%)"),
                       [](const PassDistance& d) { return d.veErrorMean; },
                       AfterLastPass,
                       -1.0,
                       QString()};

void Draw(QPainter& painter, const std::vector<Series>& series, const QString& engine,
          const Measure& measure) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(0, 0, kWidth, kHeight, Qt::white);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(18);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(QRect(0, 14, kWidth, 28), Qt::AlignCenter, measure.title);
  font.setPixelSize(13);
  painter.setFont(font);
  painter.drawText(QRect(0, 44, kWidth, 22), Qt::AlignCenter, engine);

  double highest = 1.0;
  for (const Series& s : series) {
    for (const PassDistance& d : s.distances) highest = std::max(highest, measure.value(d));
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
                   measure.axis);
  painter.restore();

  if (measure.reference >= 0.0) {
    painter.setPen(QPen(QColor(90, 90, 90), 1.5, Qt::DashLine));
    painter.drawLine(QPointF(kPlot.left(), y(measure.reference)),
                     QPointF(kPlot.right(), y(measure.reference)));
  }

  int legendY = kPlot.bottom() + 62;
  for (const Series& s : series) {
    QPainterPath line;
    for (const PassDistance& d : s.distances) {
      const QPointF at(x(d.pass), y(measure.value(d)));
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
      painter.drawEllipse(QPointF(x(d.pass), y(measure.value(d))), 4.0, 4.0);
    }
    painter.drawLine(QPointF(kPlot.left(), legendY + 10), QPointF(kPlot.left() + 36, legendY + 10));
    painter.setPen(Qt::black);
    painter.drawText(QRect(kPlot.left() + 46, legendY, kPlot.width() - 46, 20),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     s.name + QStringLiteral(": ") + measure.legend(s.distances));
    legendY += 26;
  }
  if (measure.reference < 0.0) return;
  painter.setPen(QPen(QColor(90, 90, 90), 1.5, Qt::DashLine));
  painter.drawLine(QPointF(kPlot.left(), legendY + 10), QPointF(kPlot.left() + 36, legendY + 10));
  painter.setPen(Qt::black);
  painter.drawText(QRect(kPlot.left() + 46, legendY, kPlot.width() - 46, 20),
                   Qt::AlignLeft | Qt::AlignVCenter, measure.referenceLegend);
}

QString EngineText(const trimwright::tools::ConvergenceSettings& settings, const QString& more) {
  return QStringLiteral(
             "noisy engine (BLMs \u00B1%1, tip-ins and -outs on %2% of cruise records, VE ripple "
             "\u00B1%3%)%6; %4 records a drive; target %5")
      .arg(QString::number(settings.roughness.blmNoise, 'g', 6),
           QString::number(settings.roughness.transientPercent, 'g', 6),
           QString::number(settings.roughness.veRipple * 100.0, 'g', 6),
           QString::number(settings.driveRecords), QString::number(settings.targetBlm), more);
}

bool Save(const QImage& chart, const char* path) {
  if (chart.save(QString::fromLocal8Bit(path), "PNG")) return true;
  std::fprintf(stderr, "cannot write %s\n", path);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CONVERGENCE.png READING-WAYS.png\n", argv[0]);
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
  QImage chart(kWidth, kHeight, QImage::Format_RGB32);
  {
    QPainter painter(&chart);
    Draw(painter, series, EngineText(settings, QString()), kTrimDistance);
  }
  if (!Save(chart, argv[1])) return 1;

  // The ways of reading a drive, under the careful limits, on the engine as
  // it is and on one whose block learn starts anew after every flash.
  const QColor colors[] = {QColor(200, 60, 40), QColor(30, 90, 190), QColor(40, 150, 70),
                           QColor(150, 80, 170)};
  constexpr int kPanelHeight = 660;  // room for four legend lines
  QImage ways(kWidth, 2 * kPanelHeight, QImage::Format_RGB32);
  QPainter painter(&ways);
  for (const bool lagging : {false, true}) {
    settings.roughness = lagging ? tools::LaggingTrimsEngine() : tools::NoisyEngine();
    std::vector<Series> reading;
    for (std::size_t k = 0; k < std::size(tools::kReadingWays); ++k) {
      const tools::ReadingWay& way = tools::kReadingWays[k];
      settings.limits = tools::LimitsOf(way, tools::CarefulLimits());
      reading.push_back({QString::fromLatin1(way.name), colors[k],
                         tools::RunConvergenceLoop(settings, folder.path())});
    }
    painter.fillRect(0, 0, kWidth, kPanelHeight, Qt::white);
    Draw(painter, reading,
         lagging ? QStringLiteral("the same engine, driven right after each flash: its block "
                                  "learn starts at 128 every time; careful limits")
                 : EngineText(settings, QString()) + QStringLiteral("; careful limits"),
         kVeError);
    painter.translate(0, kPanelHeight);
  }
  painter.end();
  return Save(ways, argv[2]) ? 0 : 1;
}
