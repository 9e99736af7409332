#include "gui/ProgressChart.h"

#include <QAreaSeries>
#include <QChart>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "gui/ProgressModel.h"

namespace trimwright {

namespace {

const QColor kLeftColour(44, 123, 210);
const QColor kRightColour(226, 88, 34);

}  // namespace

ProgressChart::ProgressChart(const ProgressModel& model, QWidget* parent)
    : QChartView(parent), m_model(model) {
  setRenderHint(QPainter::Antialiasing);
  setMinimumHeight(120);
  connect(&m_model, &QAbstractItemModel::modelReset, this, &ProgressChart::Rebuild);
  Rebuild();
}

void ProgressChart::Rebuild() {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("How far the fuel trims lay from the target, pass after pass"));
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart->setMargins(QMargins(4, 4, 4, 4));

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
  y->setTitleText(QStringLiteral("distance (BLM counts)"));
  y->setLabelFormat(QStringLiteral("%.1f"));
  const double top = std::ceil(m_model.HighestDistance() * 1.15);
  y->setRange(0.0, top);
  y->setTickType(QValueAxis::TicksDynamic);
  y->setTickAnchor(0.0);
  y->setTickInterval(top <= 4.0 ? 0.5 : std::ceil(top / 8.0));
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
  band->setBrush(QColor(120, 190, 120, 90));
  band->setPen(Qt::NoPen);
  attach(band);

  auto line = [&](ProgressModel::Bank bank, const QString& name, const QColor& colour) {
    auto* series = new QLineSeries;
    series->setName(name);
    series->setPen(QPen(colour, 2));
    series->setPointsVisible(true);
    series->append(m_model.Line(bank));
    attach(series);
    const QList<QPointF> undone = m_model.Undone(bank);
    if (undone.isEmpty()) return;
    auto* hollow = new QScatterSeries;
    hollow->setName(name + QStringLiteral(", pass undone"));
    hollow->setMarkerSize(11);
    hollow->setColor(Qt::white);
    hollow->setBorderColor(colour);
    hollow->append(undone);
    attach(hollow);
  };
  line(ProgressModel::Bank::kLeft, QStringLiteral("left bank"), kLeftColour);
  line(ProgressModel::Bank::kRight, QStringLiteral("right bank"), kRightColour);

  auto marks = [&](const QList<double>& numbers, const QString& name, const QColor& colour,
                   QScatterSeries::MarkerShape shape) {
    if (numbers.isEmpty()) return;
    auto* series = new QScatterSeries;
    series->setName(name);
    series->setMarkerShape(shape);
    series->setMarkerSize(14);
    series->setColor(colour);
    series->setBorderColor(colour);
    for (double number : numbers) series->append(number, 0.0);
    attach(series);
  };
  marks(m_model.Undos(), QStringLiteral("undo"), QColor(90, 90, 90),
        QScatterSeries::MarkerShapeTriangle);
  marks(m_model.Damaged(), QStringLiteral("damaged entry"), QColor(170, 30, 30),
        QScatterSeries::MarkerShapeRectangle);

  QChart* old = this->chart();
  setChart(chart);
  delete old;
}

}  // namespace trimwright
