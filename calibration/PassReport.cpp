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

void WriteLimits(std::ostream& out, const PassPlan& plan) {
  const PassLimits& limits = plan.limits;
  out << "\n\n ******** Limits of this pass ********\n\n";
  if (limits.minRecords) {
    out << "Fewer than " << *limits.minRecords
        << " records: no correction. Held back: " << plan.heldBackCells.size() << " cell(s)";
    const char* separator = ": ";
    for (const std::int32_t number : plan.heldBackCells) {
      out << separator << number;
      separator = ", ";
    }
    out << "\n";
  }
  if (limits.maxChangePercent) {
    int capped = 0;
    for (const VECellPlan& cell : plan.tunedCells) capped += cell.capped ? 1 : 0;
    out << "Change per pass at most " << *limits.maxChangePercent << "%. Capped: " << capped
        << " cell(s)\n";
    for (const VECellPlan& cell : plan.tunedCells) {
      if (!cell.capped) continue;
      out << "\tcell[" << cell.rpm << "][" << cell.kpa << "]"
          << (cell.extended ? " (extended)" : "") << "\t"
          << (cell.idle ? cell.blendedFactor : cell.factor) << " -> " << cell.appliedFactor << "\n";
    }
  }
  if (limits.auxWindow) {
    out << "Second trim values outside " << limits.auxWindow->low << "-" << limits.auxWindow->high
        << ": " << plan.auxFilteredRecords << " record(s) left out\n";
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

std::string ReportLine(const VECellPlan& cell, float veScale) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  WriteCellLine(text, cell, veScale);
  return text.str();
}

std::string ReportText(const PassPlan& plan) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  WriteReport(text, plan);
  return text.str();
}

DiskFile OpenReport(const std::string& name, Diagnostics& diagnostics) {
  DiskFile file;
  if (!file.CreateOrTruncate(name)) {
    diagnostics.Err() << "Unable to open logfile " << name << std::endl;
    throw TrimwrightError("Unable to open logfile " + name);
  }
  return file;
}

void SaveReport(DiskFile& file, const std::string& name, const PassPlan& plan,
                Diagnostics& diagnostics) {
  // The report is complete on disk before the image changes, so a failed
  // report never leaves a rewritten image behind without its record.
  const std::string text = ReportText(plan);
  if (!file.Write(text.data(), text.size()) || !file.Sync() || !file.Close()) {
    diagnostics.Err() << "Unable to write logfile " << name << std::endl;
    throw TrimwrightError("Unable to write logfile " + name +
                          "; the calibration image was not changed");
  }
}

}  // namespace trimwright
