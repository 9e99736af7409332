// Reader of a PCMComm .txt log: five header lines, then one space-separated
// record of exactly 25 fields per line. The constructor reads the whole file
// into the LoggedData arrays; it owns the temperature array (degrees
// Fahrenheit) it uses to accept records and to decide engineWarm.
#ifndef TRIMWRIGHT_LOGDATA_PCMCOMM_H_
#define TRIMWRIGHT_LOGDATA_PCMCOMM_H_

#include <string>
#include <vector>

#include "logdata/LoggedData.h"

namespace trimwright {

class PCMcomm : public LoggedData {
 public:
  // Throws TrimwrightError when the file cannot be opened or read, or memory
  // runs out.
  explicit PCMcomm(const std::string& path);
  ~PCMcomm() override;

  // Splits at separator; a run of separators counts as one, separators at the
  // end add no field, separators at the start give one empty first field.
  static std::vector<std::string> SplitSpaceFields(const std::string& line, char separator);

  // The part of text before the first occurrence of c, or all of text.
  static std::string TextBefore(const std::string& text, char c);

  std::vector<float> temperature;

 private:
  void AllocateTemperature();
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_PCMCOMM_H_
