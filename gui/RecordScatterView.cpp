#include "gui/RecordScatterView.h"

#include <QCategoryAxis>
#include <QChart>
#include <QGraphicsItem>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>

namespace trimwright {

// Draws the sampled records over the chart's plot area, each fate in its
// colour, and the records of the highlighted VE cell larger with the cell's
// band framed. Maps values to the plot itself: both axes are linear from 0.
class RecordPointsItem : public QGraphicsItem {
 public:
  RecordPointsItem(QChart* chart, const RecordScatterModel& model,
                   const std::optional<QPoint>& cell)
      : QGraphicsItem(chart), m_chart(chart), m_model(model), m_cell(cell) {}

  // Follows the plot area when the chart is laid out anew.
  void Relayout() {
    prepareGeometryChange();
    update();
  }

  QRectF boundingRect() const override { return m_chart->plotArea(); }

  static constexpr std::size_t kFewRecords = 2000;
  static constexpr int kCrowdedAlpha = 110;

  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    const QRectF plot = m_chart->plotArea();
    auto at = [&plot](const QPointF& value) {
      return QPointF(plot.left() + value.x() / RecordScatterModel::kTopRpm * plot.width(),
                     plot.bottom() - value.y() / RecordScatterModel::kTopKpa * plot.height());
    };
    painter->setClipRect(plot);
    // Many records are drawn smaller and see-through, so that where they
    // crowd reads as denser than where they are few.
    std::size_t total = 0;
    for (std::size_t k = 0; k < kRecordFates; ++k) {
      total += static_cast<std::size_t>(m_model.Points(static_cast<RecordFate>(k)).size());
    }
    const bool crowded = total > kFewRecords;
    QList<QPointF> mapped;
    for (std::size_t k = 0; k < kRecordFates; ++k) {
      const auto fate = static_cast<RecordFate>(k);
      mapped.clear();
      for (const QPointF& point : m_model.Points(fate)) mapped.append(at(point));
      QColor color = RecordScatterModel::FateColor(fate);
      if (crowded) color.setAlpha(kCrowdedAlpha);
      painter->setPen(QPen(color, crowded ? 2.0 : 3.0));
      painter->drawPoints(mapped.data(), static_cast<int>(mapped.size()));
    }
    if (!m_cell) return;
    const QList<double> rpm = RecordScatterModel::RpmEdges();
    const QList<double> kpa = RecordScatterModel::KpaEdges();
    const int row = m_cell->y();
    const int column = m_cell->x();
    painter->setPen(QPen(Qt::black, 2.0));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(
        QRectF(at(QPointF(rpm[row], kpa[column + 1])), at(QPointF(rpm[row + 1], kpa[column]))));
    painter->setPen(QPen(Qt::black, 7.0, Qt::SolidLine, Qt::RoundCap));
    mapped.clear();
    for (const QPointF& point : m_model.PointsIn(row, column)) mapped.append(at(point));
    painter->drawPoints(mapped.data(), static_cast<int>(mapped.size()));
  }

 private:
  QChart* m_chart;
  const RecordScatterModel& m_model;
  const std::optional<QPoint>& m_cell;
};

namespace {

// An axis whose categories are the VE grid's bands, shown only by its grid
// lines: the band edges.
QCategoryAxis* BandAxis(const QList<double>& edges) {
  auto* axis = new QCategoryAxis;
  axis->setStartValue(edges.front());
  for (int band = 0; band + 1 < edges.size(); ++band) {
    axis->append(QString::number(band), edges[band + 1]);
  }
  axis->setRange(edges.front(), edges.back());
  axis->setGridLinePen(QPen(QColor(205, 205, 205), 1.0));
  axis->setLabelsVisible(false);
  axis->setLineVisible(false);
  return axis;
}

// The axis that carries the numbers, ticked every interval from 0.
QValueAxis* NumberAxis(double top, double interval, const QString& title) {
  auto* axis = new QValueAxis;
  axis->setRange(0.0, top);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0.0);
  axis->setTickInterval(interval);
  axis->setLabelFormat(QStringLiteral("%d"));
  axis->setGridLineVisible(false);
  axis->setTitleText(title);
  return axis;
}

}  // namespace

RecordScatterView::RecordScatterView(QWidget* parent) : QChartView(parent) {
  auto* chart = new QChart;
  chart->setMargins(QMargins(4, 4, 4, 4));
  chart->legend()->setAlignment(Qt::AlignRight);
  setChart(chart);
  setRenderHint(QPainter::Antialiasing, false);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);

  // The grid lines are the VE cells' edges; the numbers come from axes of
  // their own, since 25 row labels do not fit beside each other.
  QAbstractAxis* rpmAxis = NumberAxis(RecordScatterModel::kTopRpm, 1000.0, QStringLiteral("rpm"));
  QAbstractAxis* kpaAxis = NumberAxis(RecordScatterModel::kTopKpa, 20.0, QStringLiteral("MAP kPa"));
  QAbstractAxis* rowAxis = BandAxis(RecordScatterModel::RpmEdges());
  QAbstractAxis* columnAxis = BandAxis(RecordScatterModel::KpaEdges());
  chart->addAxis(rpmAxis, Qt::AlignBottom);
  chart->addAxis(kpaAxis, Qt::AlignLeft);
  chart->addAxis(rowAxis, Qt::AlignTop);
  chart->addAxis(columnAxis, Qt::AlignRight);

  m_anchor = new QScatterSeries;
  chart->addSeries(m_anchor);
  for (QAbstractAxis* axis : {rpmAxis, kpaAxis, rowAxis, columnAxis}) m_anchor->attachAxis(axis);
  chart->legend()->markers(m_anchor).front()->setVisible(false);
  for (std::size_t k = 0; k < kRecordFates; ++k) {
    auto* entry = new QScatterSeries;
    entry->setColor(RecordScatterModel::FateColor(static_cast<RecordFate>(k)));
    entry->setBorderColor(entry->color());
    entry->setMarkerSize(9.0);
    chart->addSeries(entry);
    entry->attachAxis(rpmAxis);
    entry->attachAxis(kpaAxis);
    m_legend[k] = entry;
  }

  m_points = new RecordPointsItem(chart, m_model, m_cell);
  connect(chart, &QChart::plotAreaChanged, this, [this] { m_points->Relayout(); });
  UpdateTitle();
}

void RecordScatterView::SetPlan(const PassPlan& plan) {
  m_model.SetPlan(plan);
  m_cell.reset();
  QChart* chart = this->chart();
  // The edges of the fuel trim cells, each a line of its own across the plot.
  for (QAbstractSeries* series : chart->series()) {
    if (qobject_cast<QLineSeries*>(series)) {
      chart->removeSeries(series);
      delete series;
    }
  }
  const QPen edgePen(QColor(40, 40, 40), 2.0, Qt::DashLine);
  int edges = 0;
  auto addEdge = [&](QPointF from, QPointF to) {
    auto* edge = new QLineSeries;
    edge->append(from);
    edge->append(to);
    edge->setPen(edgePen);
    chart->addSeries(edge);
    for (QAbstractAxis* axis : m_anchor->attachedAxes()) edge->attachAxis(axis);
    // One entry in the legend for all of them.
    edge->setName(QStringLiteral("fuel trim cells"));
    chart->legend()->markers(edge).front()->setVisible(edges++ == 0);
  };
  for (const double rpm : m_model.TrimRpmEdges()) {
    addEdge(QPointF(rpm, 0.0), QPointF(rpm, RecordScatterModel::kTopKpa));
  }
  for (const double kpa : m_model.TrimKpaEdges()) {
    addEdge(QPointF(0.0, kpa), QPointF(RecordScatterModel::kTopRpm, kpa));
  }
  for (std::size_t k = 0; k < kRecordFates; ++k) {
    m_legend[k]->setName(m_model.LegendText(static_cast<RecordFate>(k)));
  }
  UpdateTitle();
  m_points->update();
}

void RecordScatterView::HighlightCell(int row, int column) {
  if (row >= 0 && row < VEGrid::kRows && column >= 0 && column < VEGrid::kColumns) {
    m_cell = QPoint(column, row);
  } else {
    m_cell.reset();
  }
  UpdateTitle();
  m_points->update();
}

void RecordScatterView::UpdateTitle() {
  // The cell's lines stay lines: one long line would be cut short.
  const QString title = m_cell ? m_model.CellText(m_cell->y(), m_cell->x()) : m_model.Note();
  chart()->setTitle(title.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
}

void RecordScatterView::mouseMoveEvent(QMouseEvent* event) {
  const QRectF plot = chart()->plotArea();
  const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
  std::optional<QPoint> cell;
  if (plot.contains(at)) {
    cell = RecordScatterModel::CellAt(
        (at.x() - plot.left()) / plot.width() * RecordScatterModel::kTopRpm,
        (plot.bottom() - at.y()) / plot.height() * RecordScatterModel::kTopKpa);
  }
  if (cell != m_cell) {
    HighlightCell(cell ? cell->y() : -1, cell ? cell->x() : -1);
    if (cell) {
      QToolTip::showText(event->globalPosition().toPoint(), m_model.CellText(cell->y(), cell->x()),
                         this);
    } else {
      QToolTip::hideText();
    }
  }
  QChartView::mouseMoveEvent(event);
}

void RecordScatterView::leaveEvent(QEvent* event) {
  HighlightCell(-1, -1);
  QChartView::leaveEvent(event);
}

}  // namespace trimwright
