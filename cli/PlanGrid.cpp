#include "cli/PlanGrid.h"

#include <iomanip>
#include <locale>
#include <sstream>
#include <string>

#include "calibration/VEGrid.h"

namespace trimwright {

namespace {

constexpr int kWidth = 6;

// The change of a cell's byte in percent, "." for none, "*" where the new
// value overflowed and the old one stays.
void WriteChange(std::ostream& out, const VECellPlan& cell) {
  out << std::setw(kWidth);
  if (cell.locked) {
    out << "L";
  } else if (cell.overflow) {
    out << "*";
  } else if (cell.newValue == cell.oldValue) {
    out << ".";
  } else if (cell.oldValue == 0) {
    out << "new";
  } else {
    out << std::showpos << std::fixed << std::setprecision(1) << cell.ChangePercent()
        << std::noshowpos;
  }
}

std::string Range(double low, double high) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << low << "-" << high;
  return text.str();
}

// One row of the table of fates.
void WriteFatesRow(std::ostream& out, const RecordFates& fates, const std::string& name) {
  for (const std::uint64_t count : {fates.read, fates.Rejected(), fates.notWarm, fates.highThrottle,
                                    fates.outsideAuxWindow, fates.Used()}) {
    out << std::setw(10) << count;
  }
  out << "  " << name << "\n";
}

// What became of the records of each log and of all together, the rules
// that rejected them, and the records each cell used.
void WriteFates(std::ostream& out, const PassPlan& plan) {
  out << "\nRecords by fate (read = rejected + not warm + high throttle + outside the second "
         "trim window + used)\n";
  out << "      read  rejected  not warm  high thr   outside      used  log\n";
  for (const LogSummary& log : plan.logs) WriteFatesRow(out, log.fates, log.path);
  const RecordFates total = plan.Fates();
  if (plan.logs.size() > 1) WriteFatesRow(out, total, "(all logs)");
  out << "  rejected by rule: " << RejectionsText(total) << "\n";
  out << "  used by cell:";
  for (std::size_t cell = 0; cell < total.used.size(); ++cell) {
    out << " " << cell << (cell + 1 == total.used.size() ? " (idle)" : "") << "="
        << total.used[cell];
  }
  out << "\n";
}

}  // namespace

std::string VeChangeGrid(const std::vector<VECellPlan>& grid, const std::string& title,
                         bool ofPass) {
  const auto at = [&grid](int row, int column) -> const VECellPlan& {
    return grid[static_cast<std::size_t>(row * VEGrid::kColumns + column)];
  };
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << title << "\n";
  out << "  rpm\\kPa";
  for (int column = 0; column < VEGrid::kColumns; ++column)
    out << std::setw(kWidth) << at(0, column).kpa;
  out << "\n";
  for (int row = 0; row < VEGrid::kRows; ++row) {
    out << std::setw(9) << at(row, 0).rpm;
    // No rpm limit reaches the top row; its bytes are shown as they are.
    if (ofPass && row == VEGrid::kRows - 1 && at(row, 0).inImage) {
      for (int column = 0; column < VEGrid::kColumns; ++column) {
        out << std::setw(kWidth) << int{at(row, column).oldValue};
      }
      out << "   (VE bytes, read only: never tuned)\n";
      continue;
    }
    if (ofPass && !at(row, 0).tuned) {
      out << "   (not tuned)\n";
      continue;
    }
    for (int column = 0; column < VEGrid::kColumns; ++column) {
      const VECellPlan& cell = at(row, column);
      if (cell.inImage) {
        WriteChange(out, cell);
      } else {
        out << std::setw(kWidth) << "-";
      }
    }
    out << "\n";
  }
  return out.str();
}

std::string PlanGrid(const PassPlan& plan) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  // The lock mark is explained only where the image has locks, so the
  // grid of a pass without them reads as it always has.
  out << VeChangeGrid(plan.grid,
                      std::string("VE change in percent (. unchanged, * overflow kept the old "
                                  "value") +
                          (plan.limits.locked.empty() ? "" : ", L locked: the byte stays") +
                          "; rows beyond the rpm limit are not tuned)",
                      true);
  out << "\nFuel trim cells: records, mean left/right BLM (target " << plan.targetBlm << ")\n";
  constexpr int kBands = 4;
  if (plan.trimCells.size() == kBands * kBands) {
    out << "  map\\rpm";
    for (int j = 0; j < kBands; ++j) {
      const TrimCellStats& cell = plan.trimCells[static_cast<std::size_t>(j)];
      out << std::setw(18) << Range(cell.rpmLow, cell.rpmHigh);
    }
    out << "\n";
    for (int i = kBands - 1; i >= 0; --i) {
      const TrimCellStats& first = plan.trimCells[static_cast<std::size_t>(i * kBands)];
      out << std::setw(9) << Range(first.mapLow, first.mapHigh);
      for (int j = 0; j < kBands; ++j) {
        const TrimCellStats& cell = plan.trimCells[static_cast<std::size_t>(i * kBands + j)];
        out << std::setw(8) << cell.records << " ";
        if (cell.records > 0) {
          out << std::fixed << std::setprecision(0) << std::setw(4) << cell.left.avg << "/"
              << std::left << std::setw(4) << cell.right.avg << std::right;
        } else {
          out << std::setw(9) << "-";
        }
      }
      out << "\n";
    }
  }
  const TrimCellStats& idle = plan.idleCell;
  out << "  idle " << idle.number << ": ";
  if (idle.records > 0) {
    out << idle.records << " records, mean " << std::fixed << std::setprecision(1) << idle.left.avg
        << "/" << idle.right.avg << "\n";
  } else {
    out << "no records\n";
  }
  WriteFates(out, plan);
  return out.str();
}

}  // namespace trimwright
