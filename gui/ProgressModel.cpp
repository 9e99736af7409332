#include "gui/ProgressModel.h"

#include <QColor>
#include <QFileInfo>
#include <algorithm>

#include "app/HistoryCommands.h"

namespace trimwright {

namespace {

QString Counts(const std::optional<TrimDistance>& distance) {
  return distance ? QString::number(distance->mean, 'f', 2) : QStringLiteral("-");
}

const std::optional<TrimDistance>& Of(const ProgressPoint& point, ProgressModel::Bank bank) {
  switch (bank) {
    case ProgressModel::Bank::kLeft:
      return point.left;
    case ProgressModel::Bank::kRight:
      return point.right;
    case ProgressModel::Bank::kBoth:
      break;
  }
  return point.distance;
}

}  // namespace

ProgressModel::ProgressModel(QObject* parent) : QAbstractTableModel(parent) {}

void ProgressModel::SetProgress(std::vector<ProgressPoint> points) {
  beginResetModel();
  m_points = std::move(points);
  endResetModel();
}

int ProgressModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_points.size());
}

int ProgressModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QString ProgressModel::Text(const ProgressPoint& point, int column) const {
  const bool pass = point.kind == "pass";
  switch (column) {
    case kNumber:
      return QString::number(point.number);
    case kTime:
      return QString::fromStdString(point.time);
    case kEntry:
      if (point.kind.empty())
        return QStringLiteral("damaged: ") + QString::fromStdString(point.damage);
      if (!pass) return QStringLiteral("undo of #%1").arg(point.undoes);
      if (!point.damage.empty())
        return QStringLiteral("pass: ") + QString::fromStdString(point.damage);
      return point.undone ? QStringLiteral("pass (undone)") : QStringLiteral("pass");
    case kLogs: {
      QStringList names;
      for (const ProgressPoint::Log& log : point.logs) {
        names << QFileInfo(QString::fromStdString(log.path)).fileName();
      }
      return names.join(QStringLiteral(", "));
    }
    case kRecords:
      return pass && point.planRead ? QString::number(point.recordsUsed) : QString();
    case kTarget:
      return pass ? QString::number(point.targetBlm) : QString();
    case kMean:
      return pass ? Counts(point.distance) : QString();
    case kWorst:
      return pass && point.distance ? QStringLiteral("%1 (cell %2)")
                                          .arg(QString::number(point.distance->worst, 'f', 2))
                                          .arg(point.distance->worstCell)
                                    : QString();
    case kLeft:
      return pass ? Counts(point.left) : QString();
    case kRight:
      return pass ? Counts(point.right) : QString();
    case kCellsChanged:
      return pass ? QString::number(point.cellsChanged) : QString();
    case kImage:
      if (point.kind.empty()) return QString();
      return point.imageAsLeft ? QStringLiteral("as left") : QStringLiteral("changed since");
    case kLimits: {
      if (!pass || point.limitsJson.empty()) return QString();
      const StoredLimits described = DescribeStoredLimits(point.limitsJson);
      return QString::fromStdString(described.limits +
                                    (described.locks.empty() ? "" : "; locks: " + described.locks));
    }
    default:
      return QString();
  }
}

QVariant ProgressModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return QVariant();
  const ProgressPoint& point = m_points[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return Text(point, index.column());
    case Qt::ToolTipRole: {
      QStringList lines;
      for (const ProgressPoint::Log& log : point.logs) {
        lines << QString::fromStdString(log.path) +
                     (log.records ? QStringLiteral(": %1 record(s)").arg(*log.records) : QString());
      }
      if (!point.damage.empty()) lines << QString::fromStdString(point.damage);
      if (point.kind == "pass" && !point.limitsJson.empty()) {
        lines << QStringLiteral("limits: ") + Text(point, kLimits);
      }
      return lines.join(QLatin1Char('\n'));
    }
    case Qt::TextAlignmentRole:
      return index.column() == kLogs || index.column() == kEntry || index.column() == kLimits
                 ? static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter)
                 : static_cast<int>(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ForegroundRole:
      // What was taken back, and what cannot be read, stand back.
      if (!point.damage.empty()) return QColor(170, 30, 30);
      return point.undone || point.kind == "undo" ? QColor(110, 110, 110) : QColor(0, 0, 0);
    default:
      return QVariant();
  }
}

QVariant ProgressModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return QVariant();
  static const char* const kTitles[kColumnCount] = {
      "#",         "Time (UTC)", "Entry",      "Logs",    "Records", "Target",          "Mean off",
      "Worst off", "Left mean",  "Right mean", "Changed", "Image",   "Limits and locks"};
  return section >= 0 && section < kColumnCount ? QString::fromLatin1(kTitles[section])
                                                : QVariant();
}

QList<QPointF> ProgressModel::Line(Bank bank) const {
  QList<QPointF> line;
  for (const ProgressPoint& point : m_points) {
    const std::optional<TrimDistance>& distance = Of(point, bank);
    if (point.kind == "pass" && distance) {
      line << QPointF(static_cast<double>(point.number), distance->mean);
    }
  }
  return line;
}

QList<QPointF> ProgressModel::Undone(Bank bank) const {
  QList<QPointF> undone;
  for (const ProgressPoint& point : m_points) {
    const std::optional<TrimDistance>& distance = Of(point, bank);
    if (point.undone && distance)
      undone << QPointF(static_cast<double>(point.number), distance->mean);
  }
  return undone;
}

QList<double> ProgressModel::Undos() const {
  QList<double> numbers;
  for (const ProgressPoint& point : m_points) {
    if (point.kind == "undo") numbers << static_cast<double>(point.number);
  }
  return numbers;
}

QList<double> ProgressModel::Damaged() const {
  QList<double> numbers;
  for (const ProgressPoint& point : m_points) {
    if (!point.damage.empty()) numbers << static_cast<double>(point.number);
  }
  return numbers;
}

double ProgressModel::FirstNumber() const {
  return m_points.empty() ? 1.0 : static_cast<double>(m_points.front().number);
}

double ProgressModel::LastNumber() const {
  return m_points.empty() ? 1.0 : static_cast<double>(m_points.back().number);
}

double ProgressModel::HighestDistance() const {
  double highest = 2.0 * kTargetBand;
  for (Bank bank : {Bank::kBoth, Bank::kLeft, Bank::kRight}) {
    for (const QPointF& point : Line(bank)) highest = std::max(highest, point.y());
  }
  return highest;
}

}  // namespace trimwright
