// The plan of a pass as JSON, for scripts and for the history of an image:
// what it was planned from, every VE cell with its bytes, factors and hits,
// the fuel trim cells' statistics, the checksum and the warnings. The format
// is documented in the README; "version" changes when a key changes meaning.
#ifndef TRIMWRIGHT_APP_PLANJSON_H_
#define TRIMWRIGHT_APP_PLANJSON_H_

#include <string>

#include "calibration/PassPlan.h"

namespace trimwright {

// The plan as indented JSON text ending in a line feed.
std::string PlanJson(const PassPlan& plan, bool dryRun);

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_PLANJSON_H_
