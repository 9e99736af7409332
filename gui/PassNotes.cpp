#include "gui/PassNotes.h"

#include <QLocale>

namespace trimwright {

namespace {

QString Number(double value) { return QString::number(value, 'g', 6); }

// The trims of the idle cell carry its own name; the others their number.
QString TrimCellName(std::int32_t number, std::int32_t idleNumber) {
  return number == idleNumber ? QStringLiteral("The idle cell (%1)").arg(number)
                              : QStringLiteral("Fuel trim cell %1").arg(number);
}

// The tuned cells whose flag is set.
int CountCells(const PassPlan& plan, bool VECellPlan::*flag) {
  int count = 0;
  for (const VECellPlan& cell : plan.tunedCells) count += cell.*flag ? 1 : 0;
  return count;
}

QString FatesRow(const QString& name, const RecordFates& fates) {
  QString row = QStringLiteral("<tr><td>%1</td>").arg(name.toHtmlEscaped());
  for (const std::uint64_t count : {fates.read, fates.Rejected(), fates.notWarm, fates.highThrottle,
                                    fates.outsideAuxWindow, fates.Used()}) {
    row += QStringLiteral("<td align=right>%1</td>").arg(PassNotes::Count(count));
  }
  return row + QStringLiteral("</tr>");
}

}  // namespace

QString PassNotes::FatesLine(const PassPlan& plan) {
  const QString line =
      QStringLiteral("Records: ") + QString::fromStdString(trimwright::FatesLine(plan.Fates()));
  return plan.NothingToTune() ? QStringLiteral("Nothing to tune, no record was used. ") + line
                              : line;
}

QString PassNotes::FatesTable(const PassPlan& plan) {
  QString table = QStringLiteral(
      "<table cellspacing=4><tr><th align=left>log</th><th>read</th><th>rejected</th>"
      "<th>not warm</th><th>high throttle</th><th>outside window</th><th>used</th></tr>");
  for (const LogSummary& log : plan.logs) {
    table += FatesRow(QString::fromStdString(log.path), log.fates);
  }
  const RecordFates total = plan.Fates();
  if (plan.logs.size() > 1) table += FatesRow(QStringLiteral("all logs"), total);
  table += QStringLiteral("</table>");
  QStringList used;
  for (std::size_t cell = 0; cell < total.used.size(); ++cell) {
    if (total.used[cell] > 0)
      used << QStringLiteral("%1: %2").arg(cell).arg(PassNotes::Count(total.used[cell]));
  }
  table += QStringLiteral("<p>Rejected by rule: %1<br>Used by cell (16 is the idle cell): %2</p>")
               .arg(QString::fromStdString(RejectionsText(total)).toHtmlEscaped(),
                    used.isEmpty() ? QStringLiteral("none") : used.join(QStringLiteral(", ")));
  return table;
}

QString PassNotes::LimitsLine(const PassPlan& plan) {
  const PassLimits& limits = plan.limits;
  // Each limit in force in words, then in the parentheses the option that
  // sets it on the command line and what it held back in this pass.
  QStringList parts;
  if (limits.minRecords) {
    parts << QStringLiteral(
                 "at least %1 records per fuel trim cell (--min-records: %2 cell(s) "
                 "held back)")
                 .arg(*limits.minRecords)
                 .arg(plan.heldBackCells.size());
  }
  if (limits.maxChangePercent) {
    parts << QStringLiteral("changes within %1 % per pass (--max-change: %2 VE cell(s) capped)")
                 .arg(Number(*limits.maxChangePercent))
                 .arg(CountCells(plan, &VECellPlan::capped));
  }
  if (limits.maxTotalChangePercent) {
    parts << QStringLiteral(
                 "VE within %1 % of the baseline, %2 (--max-total-change: %3 VE "
                 "cell(s) held)")
                 .arg(Number(*limits.maxTotalChangePercent))
                 .arg(limits.baseline ? QString::fromStdString(limits.baseline->source)
                                      : QStringLiteral("not read"))
                 .arg(CountCells(plan, &VECellPlan::totalCapped));
  }
  if (!limits.locked.empty()) {
    parts << QStringLiteral("%1 VE cell(s) locked on the image (--lock: %2 kept their bytes)")
                 .arg(limits.locked.size())
                 .arg(CountCells(plan, &VECellPlan::locked));
  }
  if (limits.auxWindow) {
    parts << QStringLiteral("second trims within %1-%2 (--aux-window: %3 record(s) left out)")
                 .arg(limits.auxWindow->low)
                 .arg(limits.auxWindow->high)
                 .arg(plan.auxFilteredRecords);
  }
  if (limits.addSecondTrim) parts << QStringLiteral("second trim added (--add-second-trim)");
  if (limits.smooth) parts << QStringLiteral("factors smoothed (--smooth)");
  if (parts.isEmpty()) return QString();
  return QStringLiteral("Limits on: ") + parts.join(QStringLiteral("; "));
}

QStringList PassNotes::LimitWarnings(const PassPlan& plan) {
  QStringList warnings;
  const std::int32_t idleNumber = plan.idleCell.number;
  for (const std::int32_t number : plan.heldBackCells) {
    const TrimCellStats* cell = number == idleNumber ? &plan.idleCell : nullptr;
    for (const TrimCellStats& stats : plan.trimCells) {
      if (stats.number == number) cell = &stats;
    }
    warnings << QStringLiteral(
                    "%1 held back: %2 record(s), fewer than the minimum of %3, so it "
                    "counts as no correction")
                    .arg(TrimCellName(number, idleNumber))
                    .arg(cell ? cell->records : 0)
                    .arg(plan.limits.minRecords.value_or(0));
  }
  // Every VE cell a limit held, as the report lists them: capped per pass,
  // held by the total limit, kept by a lock.
  for (const VECellPlan& cell : plan.tunedCells) {
    const QString name = QStringLiteral("VE cell %1 rpm, %2 kPa%3")
                             .arg(cell.rpm)
                             .arg(cell.kpa)
                             .arg(cell.extended ? QStringLiteral(" (extended table)") : QString());
    const QString found = Number(cell.idle ? cell.blendedFactor : cell.factor);
    if (cell.capped) {
      warnings << QStringLiteral("%1 capped: factor %2 found, %3 applied")
                      .arg(name, found, Number(cell.appliedFactor));
    }
    if (cell.totalCapped) {
      warnings << QStringLiteral(
                      "%1 held by the total limit: factor %2 found, %3 applied, byte %4 -> %5 "
                      "(baseline %6)")
                      .arg(name, found, Number(cell.appliedFactor))
                      .arg(cell.oldValue)
                      .arg(cell.newValue)
                      .arg(cell.baselineValue);
    }
    if (cell.locked) {
      warnings << QStringLiteral("%1 locked: factor %2 found, byte %3 kept")
                      .arg(name, found)
                      .arg(cell.oldValue);
    }
  }
  return warnings;
}

QString PassNotes::Count(std::uint64_t count) {
  return QLocale::c().toString(static_cast<qulonglong>(count));
}

}  // namespace trimwright
