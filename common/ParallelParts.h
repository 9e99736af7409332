// Runs the parts of one job side by side, a thread for each part.
#ifndef TRIMWRIGHT_COMMON_PARALLELPARTS_H_
#define TRIMWRIGHT_COMMON_PARALLELPARTS_H_

#include <cstddef>
#include <functional>

namespace trimwright {

// Runs work(0) .. work(count - 1), part 0 on the calling thread and every other
// part on a thread of its own (or on the calling thread when no thread can be
// started), and returns when all parts are done. When parts throw, the
// exception of the lowest-numbered one is rethrown after all have finished.
void RunParts(std::size_t count, const std::function<void(std::size_t part)>& work);

}  // namespace trimwright

#endif  // TRIMWRIGHT_COMMON_PARALLELPARTS_H_
