// A compact text view of a pass for a terminal: the change of every VE cell in
// percent (rows by rpm, columns by kPa) and the fuel trim table as a 4 by 4
// grid plus the idle cell, with record counts and mean BLMs.
#ifndef TRIMWRIGHT_CLI_PLANGRID_H_
#define TRIMWRIGHT_CLI_PLANGRID_H_

#include <string>
#include <vector>

#include "calibration/PassPlan.h"

namespace trimwright {

std::string PlanGrid(const PassPlan& plan);

// The VE part alone: a title line, then the change of every cell of grid (25
// rows of 17) in percent. Of a pass, rows beyond the rpm limit are marked
// and the 7000 rpm row shows its bytes; otherwise every row shows its
// change, "-" where a cell is missing.
std::string VeChangeGrid(const std::vector<VECellPlan>& grid, const std::string& title,
                         bool ofPass);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_PLANGRID_H_
