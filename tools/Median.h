// The median of a set of timings, shared by the bench and the stage timer: a
// median shrugs off the one run another process slowed down, which a mean
// would carry.
#ifndef TRIMWRIGHT_TOOLS_MEDIAN_H_
#define TRIMWRIGHT_TOOLS_MEDIAN_H_

#include <algorithm>
#include <cstddef>
#include <vector>

namespace trimwright::tools {

// The middle value, or the mean of the two middle ones for an even count.
// REQUIRES: samples is not empty.
inline double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const std::size_t n = samples.size();
  return n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_MEDIAN_H_
