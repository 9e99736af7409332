// Reader of a PCMComm .txt log: five header lines, then one space-separated
// record of exactly 25 fields per line. The constructor reads the whole file
// into the LoggedData arrays; it owns the temperature array (degrees
// Fahrenheit) it uses to accept records and to decide engineWarm.
#ifndef TRIMWRIGHT_LOGDATA_PCMCOMM_H_
#define TRIMWRIGHT_LOGDATA_PCMCOMM_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "logdata/ReadPlan.h"
#include "logdata/TextLog.h"

namespace trimwright {

class PCMcomm : public TextLog {
 public:
  static constexpr std::size_t kFieldsPerRecord = 25;

  // Throws TrimwrightError when the file cannot be opened or read, or memory
  // runs out. A large file is read in parts as the plan says. Writes its lines
  // to sink, which must outlive the object.
  PCMcomm(const std::string& path, const ReadPlan& plan = ReadPlan::ForThisMachine(),
          Diagnostics& sink = Diagnostics::Standard());
  ~PCMcomm() override;

 private:
  // Decodes one record line into index; true when the record is accepted.
  bool DecodeRecord(std::uint32_t index, std::string_view line);
  // Why DecodeRecord rejected a line: kUnreadable for a line without the
  // fields of a record, else the rule its values broke.
  [[gnu::cold, gnu::noinline]] static Rejection RejectionOf(std::string_view line);
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_PCMCOMM_H_
