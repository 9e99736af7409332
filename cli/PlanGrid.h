// A compact text view of a pass for a terminal: the change of every VE cell in
// percent (rows by rpm, columns by kPa) and the fuel trim table as a 4 by 4
// grid plus the idle cell, with record counts and mean BLMs.
#ifndef TRIMWRIGHT_CLI_PLANGRID_H_
#define TRIMWRIGHT_CLI_PLANGRID_H_

#include <string>

#include "calibration/PassPlan.h"

namespace trimwright {

std::string PlanGrid(const PassPlan& plan);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_PLANGRID_H_
