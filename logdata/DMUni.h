// Reader of a Datamaster .uni log: a binary file of 128-byte records whose
// first record is a header. The constructor reads the whole file into the
// LoggedData arrays; the object is then a finished, read-only data set.
#ifndef TRIMWRIGHT_LOGDATA_DMUNI_H_
#define TRIMWRIGHT_LOGDATA_DMUNI_H_

#include <string>

#include "logdata/LoggedData.h"

namespace trimwright {

class DMUni : public LoggedData {
 public:
  static constexpr int kRecordSize = 128;

  // Throws TrimwrightError when the file cannot be opened or memory runs out.
  explicit DMUni(const std::string& path);
  ~DMUni() override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_DMUNI_H_
