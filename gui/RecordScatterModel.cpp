#include "gui/RecordScatterModel.h"

#include <QLocale>
#include <QStringList>

#include "calibration/VEGrid.h"
#include "gui/PassNotes.h"

namespace trimwright {

namespace {

// A grid reaching every row, the 7000 rpm row's lower edge included.
const VEGrid& FullGrid() {
  static const VEGrid grid(7001);
  return grid;
}

constexpr std::array<RecordFate, kRecordFates> kFates = {
    RecordFate::kUsed, RecordFate::kNotWarm, RecordFate::kHighThrottle,
    RecordFate::kOutsideAuxWindow, RecordFate::kNoFuelTrimCell};

}  // namespace

void RecordScatterModel::SetPlan(const PassPlan& plan) {
  m_sample = plan.recordSample;
  for (QList<QPointF>& points : m_points) points.clear();
  if (m_sample) {
    for (const SampledRecord& record : m_sample->records()) {
      m_points[static_cast<std::size_t>(record.fate)].append(QPointF(record.rpm, record.map));
    }
  }
  // Cell n of the table covers map band n / 4 and rpm band n % 4: the upper
  // edges of the first three bands of each are the inner boundaries.
  m_trimRpmEdges.clear();
  m_trimKpaEdges.clear();
  constexpr std::size_t kBands = 4;
  if (plan.trimCells.size() == kBands * kBands) {
    for (std::size_t band = 0; band + 1 < kBands; ++band) {
      m_trimRpmEdges.append(plan.trimCells[band].rpmHigh);
      m_trimKpaEdges.append(plan.trimCells[band * kBands].mapHigh);
    }
  }
  const RecordFates fates = plan.Fates();
  m_rejected = fates.Rejected() - fates.noFuelTrimCell;
  m_hits.clear();
  for (const VECellPlan& cell : plan.grid) m_hits.push_back({cell.hits, cell.idleHits});
}

QList<QPointF> RecordScatterModel::PointsIn(int row, int column) const {
  QList<QPointF> inside;
  for (const QList<QPointF>& points : m_points) {
    for (const QPointF& point : points) {
      if (VEGrid::RowOf(static_cast<std::int32_t>(point.x())) == row &&
          VEGrid::ColumnOf(static_cast<float>(point.y())) == column) {
        inside.append(point);
      }
    }
  }
  return inside;
}

QList<double> RecordScatterModel::RpmEdges() {
  QList<double> edges;
  for (const std::int32_t rpm : FullGrid().veRpmBounds) edges.append(rpm);
  edges.append(kTopRpm);
  return edges;
}

QList<double> RecordScatterModel::KpaEdges() {
  QList<double> edges;
  const std::vector<float>& bounds = FullGrid().veKpaBounds;
  // The last bound closes the table's top column; the plot reaches the
  // highest MAP a record may hold.
  for (std::size_t k = 0; k + 1 < bounds.size(); ++k) edges.append(bounds[k]);
  edges.append(kTopKpa);
  return edges;
}

int RecordScatterModel::RowLabel(int row) {
  return FullGrid().veRpmAxis[static_cast<std::size_t>(row)];
}

int RecordScatterModel::ColumnLabel(int column) {
  return FullGrid().veKpaAxis[static_cast<std::size_t>(column)];
}

std::optional<QPoint> RecordScatterModel::CellAt(double rpm, double kpa) {
  if (!(rpm >= 0.0 && rpm <= kTopRpm && kpa >= 0.0 && kpa <= kTopKpa)) return std::nullopt;
  return QPoint(VEGrid::ColumnOf(static_cast<float>(kpa)),
                VEGrid::RowOf(static_cast<std::int32_t>(rpm)));
}

QString RecordScatterModel::CellText(int row, int column) const {
  QString text =
      QStringLiteral("VE cell %1 rpm, %2 kPa").arg(RowLabel(row)).arg(ColumnLabel(column));
  if (!m_sample) return text;
  const RecordSample::FateCounts& counts = m_sample->CountsIn(row, column);
  std::uint64_t total = 0;
  QString used;
  QStringList others;
  for (const RecordFate fate : kFates) {
    const std::uint64_t count = counts[static_cast<std::size_t>(fate)];
    total += count;
    if (count == 0) continue;
    const QString part = QStringLiteral("%1 %2").arg(PassNotes::Count(count), FateName(fate));
    const auto cell = static_cast<std::size_t>(row * VEGrid::kColumns + column);
    if (fate != RecordFate::kUsed) {
      others << part;
    } else if (cell < m_hits.size()) {
      used = part + QStringLiteral(": %1 by the fuel trim cells, %2 by the idle cell")
                        .arg(PassNotes::Count(m_hits[cell][0]), PassNotes::Count(m_hits[cell][1]));
    } else {
      used = part;
    }
  }
  text += QStringLiteral(": %1 record(s)").arg(PassNotes::Count(total));
  if (!used.isEmpty()) text += QStringLiteral("\n") + used;
  if (!others.isEmpty()) text += QStringLiteral("\n") + others.join(QStringLiteral(", "));
  return text;
}

QString RecordScatterModel::FateName(RecordFate fate) {
  switch (fate) {
    case RecordFate::kUsed:
      return QStringLiteral("used");
    case RecordFate::kNotWarm:
      return QStringLiteral("not warm");
    case RecordFate::kHighThrottle:
      return QStringLiteral("high throttle");
    case RecordFate::kOutsideAuxWindow:
      return QStringLiteral("outside the second trim window");
    case RecordFate::kNoFuelTrimCell:
      return QStringLiteral("no fuel trim cell (17, 18)");
  }
  return QString();
}

QColor RecordScatterModel::FateColor(RecordFate fate) {
  switch (fate) {
    case RecordFate::kUsed:
      return QColor(30, 140, 70);
    case RecordFate::kNotWarm:
      return QColor(60, 120, 215);
    case RecordFate::kHighThrottle:
      return QColor(225, 110, 20);
    case RecordFate::kOutsideAuxWindow:
      return QColor(160, 70, 185);
    case RecordFate::kNoFuelTrimCell:
      return QColor(130, 130, 130);
  }
  return QColor();
}

QString RecordScatterModel::LegendText(RecordFate fate) const {
  static const std::array<QString, kRecordFates> kShortNames = {
      QStringLiteral("used"), QStringLiteral("not warm"), QStringLiteral("high throttle"),
      QStringLiteral("outside window"), QStringLiteral("cell 17 or 18")};
  const auto slot = static_cast<std::size_t>(fate);
  const std::uint64_t count = m_sample ? m_sample->counts()[slot] : 0;
  return QStringLiteral("%1: %2").arg(kShortNames[slot], PassNotes::Count(count));
}

QString RecordScatterModel::Note() const {
  if (!m_sample) return QStringLiteral("No records to show");
  const std::uint64_t total = m_sample->Total();
  QString note =
      m_sample->stride() > 1
          ? QStringLiteral("1 record in %1 shown (%2 of %3)")
                .arg(m_sample->stride())
                .arg(PassNotes::Count(static_cast<std::uint64_t>(m_sample->records().size())),
                     PassNotes::Count(total))
          : QStringLiteral("All %1 records shown").arg(PassNotes::Count(total));
  if (m_rejected > 0) {
    note += QStringLiteral("; %1 rejected by the reader have no place here")
                .arg(PassNotes::Count(m_rejected));
  }
  return note + QStringLiteral("; hover a VE cell for its records");
}

}  // namespace trimwright
