#include "calibration/PassReport.h"

#include <locale>
#include <sstream>

#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

constexpr int kReportPrecision = 3;

// One VE cell's line: its labels, the old VE, the factors and the new VE (or
// "(*)" where it overflowed), every field followed by a tab.
void WriteCellLine(std::ostream& out, const VECellPlan& cell, float veScale) {
  out << "cell[" << cell.rpm << "][" << cell.kpa << "]\t";
  const std::streamsize savedPrecision = out.precision(kReportPrecision);
  out << static_cast<float>(cell.oldValue) * veScale << "\t";
  out << cell.factor << "\t";
  if (cell.idle) out << cell.idleFactor << "\t" << cell.blendedFactor << "\t";
  if (cell.overflow) {
    out << "(*)\t";
  } else {
    out << static_cast<float>(cell.newValue) * veScale << "\t";
  }
  out.precision(savedPrecision);
  if (cell.idle) out << "Idle cell";
  out << std::endl;
}

// Writes numbers as a comma-separated list after ": ", the idle cell marked.
void WriteCellNumbers(std::ostream& out, const std::vector<std::int32_t>& numbers,
                      std::int32_t idleNumber) {
  const char* separator = ": ";
  for (const std::int32_t number : numbers) {
    out << separator << number << (number == idleNumber ? " (idle)" : "");
    separator = ", ";
  }
}

// The label of a listed VE cell and the factor found: "\tcell[1200][50]
// (extended)\t1.05".
void WriteListedCell(std::ostream& out, const VECellPlan& cell) {
  out << "\tcell[" << cell.rpm << "][" << cell.kpa << "]" << (cell.extended ? " (extended)" : "")
      << "\t" << (cell.idle ? cell.blendedFactor : cell.factor);
}

// What a cap did to the byte of a cell where rounding would have crossed it.
void WriteRoundedByte(std::ostream& out, const VECellPlan& cell) {
  if (!cell.roundedToCap) return;
  out << "\tbyte " << int{cell.oldValue} << " -> " << int{cell.newValue} << " (rounding gave "
      << int{cell.roundedValue} << ")";
}

void WriteLimits(std::ostream& out, const PassPlan& plan) {
  const PassLimits& limits = plan.limits;
  const std::int32_t idleNumber = plan.idleCell.number;
  out << "\n\n ******** Limits of this pass ********\n\n";
  if (limits.minRecords) {
    out << "Minimum records: " << *limits.minRecords
        << " per fuel trim cell (the idle cell too); a cell with fewer counts as no correction "
           "(factor 1)\n"
        << "Held back: " << plan.heldBackCells.size() << " fuel trim cell(s)";
    WriteCellNumbers(out, plan.heldBackCells, idleNumber);
    out << "\n";
  }
  if (limits.maxChangePercent) {
    int capped = 0;
    for (const VECellPlan& cell : plan.tunedCells) capped += cell.capped ? 1 : 0;
    out << "Largest change: " << *limits.maxChangePercent
        << "% per pass; a VE cell's factor stays within " << 1.0 - *limits.maxChangePercent / 100.0
        << " to " << 1.0 + *limits.maxChangePercent / 100.0 << "\n"
        << "Capped: " << capped << " VE cell(s)" << (capped > 0 ? ", factor found -> applied" : "")
        << "\n";
    for (const VECellPlan& cell : plan.tunedCells) {
      if (!cell.capped) continue;
      WriteListedCell(out, cell);
      out << " -> " << cell.appliedFactor;
      WriteRoundedByte(out, cell);
      out << "\n";
    }
  }
  if (limits.maxTotalChangePercent) {
    int capped = 0;
    for (const VECellPlan& cell : plan.tunedCells) capped += cell.totalCapped ? 1 : 0;
    out << "Largest total change: " << *limits.maxTotalChangePercent << "% from the baseline, "
        << (limits.baseline ? limits.baseline->source : std::string("not read"))
        << "; no VE cell's byte ends further than that from its byte there (a cell already "
           "further away only moves back toward it)\n"
        << "Capped by the total: " << capped << " VE cell(s)"
        << (capped > 0 ? ", factor found -> applied, baseline byte" : "") << "\n";
    for (const VECellPlan& cell : plan.tunedCells) {
      if (!cell.totalCapped) continue;
      WriteListedCell(out, cell);
      out << " -> " << cell.appliedFactor << "\tbaseline " << int{cell.baselineValue};
      WriteRoundedByte(out, cell);
      out << "\n";
    }
  }
  if (!limits.locked.empty()) {
    int held = 0;
    for (const VECellPlan& cell : plan.tunedCells) held += cell.locked ? 1 : 0;
    out << "Locked: " << limits.locked.size() << " VE cell(s) of the image ("
        << DescribeCells(limits.locked) << ")\n"
        << "Held back by the locks: " << held << " VE cell(s) keep their bytes"
        << (held > 0 ? ", factor found" : "") << "\n";
    for (const VECellPlan& cell : plan.tunedCells) {
      if (!cell.locked) continue;
      WriteListedCell(out, cell);
      out << "\n";
    }
  }
  if (limits.auxWindow) {
    out << "Second trim window: " << limits.auxWindow->low << "-" << limits.auxWindow->high
        << "; records with aux left or aux right outside it are left out of the fuel trim "
           "statistics\n"
        << "Filtered: " << plan.auxFilteredRecords << " record(s)";
    if (!plan.auxFilteredCells.empty()) out << "; by fuel trim cell, cell=records";
    const char* separator = ": ";
    for (const FilteredCell& cell : plan.auxFilteredCells) {
      out << separator << cell.number << (cell.number == idleNumber ? " (idle)" : "") << "="
          << cell.records;
      separator = ", ";
    }
    out << "\n";
  }
  if (limits.addSecondTrim) {
    out << "Second trim added: each record's left and right trims count as BLM + second trim - "
           "128, clamped to 0-255\n";
  }
  if (limits.smooth) {
    out << "Smoothed: each VE cell's factor is interpolated between the centres of the fuel "
           "trim cells (held beyond the outermost centres)\n";
  }
  out << std::flush;
}

}  // namespace

void WriteTrimStatistics(std::ostream& out, const std::vector<TrimCellStats>& cells) {
  out << "\n\n\n ******** Fuel trim table statistics ********\n\n";
  out << "Cell\t# recs\tmap range\trpm range\n"
      << "\t\tmin LTerm/avg LTerm/max LTerm (left and right)\n\n";
  for (const TrimCellStats& cell : cells) cell.Print(out);
}

namespace {

// Writes the whole report of plan to out.
void WriteReport(std::ostream& out, const PassPlan& plan) {
  out << "Cell\t Old VE\t Adj. Factor\t New VE\n";
  out << "\nVE table modifications:\n";
  bool extendedSection = false;
  for (const VECellPlan& cell : plan.tunedCells) {
    if (cell.extended && !extendedSection) {
      out << "\nExtended VE Table modifications:\n";
      extendedSection = true;
    }
    WriteCellLine(out, cell, plan.veScale);
  }
  if (!extendedSection) out << "\nExtended VE Table modifications:\n";
  if (plan.overflow) {
    out << "\n(*) - An overflow occurred when applying the adj factor to the\n"
        << "original VE table entry.  The old value is being used, but it is\n"
        << "recommended you look for exhaust or intake vacuum leaks, since VE should\n"
        << "never be in excess of 100 (or less than 0)\n";
  }
  WriteTrimStatistics(out, plan.trimCells);
  plan.idleCell.Print(out);
  if (plan.limits.AnySet()) WriteLimits(out, plan);
}

}  // namespace

std::string ReportText(const PassPlan& plan) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  WriteReport(text, plan);
  return text.str();
}

PreparedOutput OpenReport(const std::string& name, Diagnostics& diagnostics,
                          FileSystem& fileSystem) {
  PreparedOutput file(fileSystem);
  if (!file.Prepare(name)) {
    diagnostics.FailOnErrorStream("Unable to open logfile " + name,
                                  "Unable to open logfile " + name);
  }
  return file;
}

void SaveReport(PreparedOutput& file, const std::string& name, const PassPlan& plan,
                Diagnostics& diagnostics) {
  // The report is complete on disk before the image changes, so a failed
  // report never leaves a rewritten image behind without its record.
  if (!file.Write(ReportText(plan))) {
    const std::string message =
        "Unable to write logfile " + name + "; the calibration image was not changed";
    diagnostics.FailOnErrorStream(message, message);
  }
}

}  // namespace trimwright
