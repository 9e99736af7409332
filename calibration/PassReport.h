// The plain-text report of a pass, written from its plan: one line per
// rewritten VE cell, the overflow note, the fuel trim statistics, the idle
// cell, and the limits when any was set.
#ifndef TRIMWRIGHT_CALIBRATION_PASSREPORT_H_
#define TRIMWRIGHT_CALIBRATION_PASSREPORT_H_

#include <ostream>
#include <string>

#include "calibration/PassPlan.h"
#include "common/Diagnostics.h"
#include "common/PreparedOutput.h"

namespace trimwright {

// The whole report as text, in the "C" locale.
std::string ReportText(const PassPlan& plan);

// The statistics section of the fuel trim table: its head and every cell's
// lines, in number order.
void WriteTrimStatistics(std::ostream& out, const std::vector<TrimCellStats>& cells);

// Opens the report file for writing, creating it when missing and changing
// none of its bytes yet. When that fails, writes "Unable to open logfile "
// and the name to the error stream and throws TrimwrightError. Its writes go
// through fileSystem.
PreparedOutput OpenReport(const std::string& name, Diagnostics& diagnostics,
                          FileSystem& fileSystem = FileSystem::Default());

// Writes the report of plan over the opened file and syncs it; the file stays
// open until Finish or Abandon. When that fails, writes "Unable to write
// logfile " and the name to the error stream and throws TrimwrightError: the
// image has not been written then.
void SaveReport(PreparedOutput& file, const std::string& name, const PassPlan& plan,
                Diagnostics& diagnostics);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_PASSREPORT_H_
