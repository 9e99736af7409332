#include "gui/ProgressChart.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "gui/ProgressModel.h"

namespace trimwright {

namespace {

const QColor kLeftColour(44, 123, 210);
const QColor kRightColour(226, 88, 34);
const QColor kBandColour(120, 190, 120, 90);

// A legend entry, never broken across lines (no-break spaces, and a word
// joiner where a line could break): a sample of the line or mark in its
// colour, then its name.
QString LegendEntry(const QString& sample, const QColor& colour, const QString& name) {
  return QStringLiteral("<span style=\"color:%1\">%2</span>&nbsp;%3")
      .arg(colour.name(), sample, name.toHtmlEscaped().replace(QLatin1Char(' '), "&nbsp;"));
}

}  // namespace

ProgressChart::ProgressChart(const ProgressModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
  m_heading = new QLabel(
      QStringLiteral("How far the fuel trims lay from the target (the mean distance in BLM "
                     "counts), pass after pass"),
      this);
  m_heading->setWordWrap(true);
  m_heading->setAlignment(Qt::AlignHCenter);
  QFont bold = m_heading->font();
  bold.setBold(true);
  m_heading->setFont(bold);
  m_view = new QChartView(this);
  m_view->setRenderHint(QPainter::Antialiasing);
  // Room for a few labels on the distance axis.
  m_view->setMinimumHeight(10 * fontMetrics().height());
  m_view->setFocusPolicy(Qt::NoFocus);
  m_legend = new QLabel(this);
  m_legend->setWordWrap(true);
  m_legend->setTextFormat(Qt::RichText);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(m_heading);
  layout->addWidget(m_view, 1);
  layout->addWidget(m_legend);
  connect(&m_model, &QAbstractItemModel::modelReset, this, &ProgressChart::Rebuild);
  Rebuild();
}

void ProgressChart::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitTicks();
}

void ProgressChart::FitTicks() {
  if (!m_distanceAxis) return;
  // The plot is the view less the entry axis's labels and title below it;
  // a label is read with as much free height again between it and the next.
  static constexpr double kSteps[] = {0.5, 1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0};
  const int line = fontMetrics().height();
  const double labels = std::max(2, (m_view->height() - 4 * line) / (2 * line));
  const double top = m_distanceAxis->max();
  double step = kSteps[std::size(kSteps) - 1];
  for (const double candidate : kSteps) {
    if (top / candidate < labels) {
      step = candidate;
      break;
    }
  }
  m_distanceAxis->setTickInterval(step);
}

void ProgressChart::Rebuild() {
  auto* chart = new QChart;
  chart->legend()->hide();
  chart->setMargins(QMargins(4, 4, 4, 4));
  QStringList legend;

  const double first = m_model.FirstNumber() - 0.5;
  const double last = m_model.LastNumber() + 0.5;
  auto* x = new QValueAxis;
  x->setTitleText(QStringLiteral("history entry"));
  x->setLabelFormat(QStringLiteral("%d"));
  x->setRange(first, last);
  x->setTickType(QValueAxis::TicksDynamic);
  x->setTickAnchor(1.0);
  x->setTickInterval(std::max(1.0, std::ceil((last - first) / 12.0)));
  auto* y = new QValueAxis;
  y->setTitleText(QStringLiteral("BLM counts"));
  y->setLabelFormat(QStringLiteral("%.1f"));
  const double top = std::ceil(m_model.HighestDistance() * 1.15);
  y->setRange(0.0, top);
  y->setTickType(QValueAxis::TicksDynamic);
  y->setTickAnchor(0.0);
  m_distanceAxis = y;
  FitTicks();
  // The axis's title where the plot is high enough for it, whole; the
  // heading names the unit in any case.
  connect(chart, &QChart::plotAreaChanged, y, [y](const QRectF& plot) {
    const QString title = QStringLiteral("BLM counts");
    const bool room = plot.height() >= QFontMetrics(y->titleFont()).horizontalAdvance(title) + 4;
    if (room != !y->titleText().isEmpty()) y->setTitleText(room ? title : QString());
  });
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  auto attach = [&](QAbstractSeries* series) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
  };

  auto* bandTop = new QLineSeries(chart);
  bandTop->append(first, ProgressModel::kTargetBand);
  bandTop->append(last, ProgressModel::kTargetBand);
  auto* band = new QAreaSeries(bandTop);
  band->setName(QStringLiteral("within %1 count of the target").arg(ProgressModel::kTargetBand));
  band->setBrush(kBandColour);
  band->setPen(Qt::NoPen);
  attach(band);
  legend << LegendEntry(QStringLiteral("&#9632;"), kBandColour.darker(130), band->name());

  auto line = [&](ProgressModel::Bank bank, const QString& name, const QColor& colour) {
    auto* series = new QLineSeries;
    series->setName(name);
    series->setPen(QPen(colour, 2));
    series->setPointsVisible(true);
    series->append(m_model.Line(bank));
    attach(series);
    legend << LegendEntry(QStringLiteral("&#8212;&#8288;&#9679;"), colour, name);
    const QList<QPointF> undone = m_model.Undone(bank);
    if (undone.isEmpty()) return;
    auto* hollow = new QScatterSeries;
    hollow->setName(name + QStringLiteral(", pass undone"));
    hollow->setMarkerSize(11);
    hollow->setColor(Qt::white);
    hollow->setBorderColor(colour);
    hollow->append(undone);
    attach(hollow);
    legend << LegendEntry(QStringLiteral("&#9675;"), colour, hollow->name());
  };
  line(ProgressModel::Bank::kLeft, QStringLiteral("left bank"), kLeftColour);
  line(ProgressModel::Bank::kRight, QStringLiteral("right bank"), kRightColour);

  auto marks = [&](const QList<double>& numbers, const QString& name, const QColor& colour,
                   QScatterSeries::MarkerShape shape, const QString& sample) {
    if (numbers.isEmpty()) return;
    auto* series = new QScatterSeries;
    series->setName(name);
    series->setMarkerShape(shape);
    series->setMarkerSize(14);
    series->setColor(colour);
    series->setBorderColor(colour);
    for (double number : numbers) series->append(number, 0.0);
    attach(series);
    legend << LegendEntry(sample, colour, name);
  };
  marks(m_model.Undos(), QStringLiteral("undo"), QColor(90, 90, 90),
        QScatterSeries::MarkerShapeTriangle, QStringLiteral("&#9650;"));
  marks(m_model.Damaged(), QStringLiteral("damaged entry"), QColor(170, 30, 30),
        QScatterSeries::MarkerShapeRectangle, QStringLiteral("&#9632;"));

  // Entries apart by more than a space, so that a wrapped line breaks
  // between them.
  m_legend->setText(legend.join(QStringLiteral(" &nbsp; ")));
  QChart* old = m_view->chart();
  m_view->setChart(chart);
  delete old;
}

}  // namespace trimwright
