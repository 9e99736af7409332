// The comparison of two images for a terminal: what was compared, the VE
// difference in percent in the grid of --grid, the cells that differ with
// the largest rise and fall, and the other bytes that differ.
#ifndef TRIMWRIGHT_CLI_COMPARETEXT_H_
#define TRIMWRIGHT_CLI_COMPARETEXT_H_

#include <string>

#include "app/ImageCompare.h"

namespace trimwright {

std::string CompareText(const ImageComparison& comparison);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_COMPARETEXT_H_
