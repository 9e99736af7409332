// Reader of a Freescan .csv log: one header line, then one comma-separated
// record per line with its fields addressed by position. The constructor reads
// the whole file into the LoggedData arrays; it owns the temperature array it
// uses to accept records and to decide engineWarm.
#ifndef TRIMWRIGHT_LOGDATA_FREESCAN_H_
#define TRIMWRIGHT_LOGDATA_FREESCAN_H_

#include <string>
#include <vector>

#include "logdata/LoggedData.h"

namespace trimwright {

class Freescan : public LoggedData {
 public:
  // Throws TrimwrightError when the file cannot be opened or read, or memory
  // runs out.
  explicit Freescan(const std::string& path);
  ~Freescan() override;

  // Splits at every comma: n commas always give n + 1 fields, empty ones too.
  static std::vector<std::string> SplitCommaFields(const std::string& line);

  std::vector<float> temperature;

 private:
  void AllocateTemperature();
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_FREESCAN_H_
