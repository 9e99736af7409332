// How a log reader divides the reading of one file: into at most `workers`
// parts read side by side, each of at least `minBytesPerPart` bytes, so that
// a small log is read in one piece. The file is read `blockBytes` at a time;
// parts of a text log start on block boundaries. Tests shrink the numbers to
// cut small files into many parts.
#ifndef TRIMWRIGHT_LOGDATA_READPLAN_H_
#define TRIMWRIGHT_LOGDATA_READPLAN_H_

#include <cstddef>
#include <cstdint>

namespace trimwright {

struct ReadPlan {
  unsigned workers = 1;
  std::int64_t minBytesPerPart = std::int64_t{8} << 20;
  std::size_t blockBytes = std::size_t{256} << 10;

  // The number of parts for a file of fileBytes bytes, at least 1.
  unsigned PartsFor(std::int64_t fileBytes) const;

  // One worker per processor of this machine, at most 8.
  static ReadPlan ForThisMachine();
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_READPLAN_H_
