// Reader of a Freescan .csv log: one header line, then one comma-separated
// record per line with its fields addressed by position. The constructor reads
// the whole file into the LoggedData arrays; it owns the temperature array it
// uses to accept records and to decide engineWarm.
#ifndef TRIMWRIGHT_LOGDATA_FREESCAN_H_
#define TRIMWRIGHT_LOGDATA_FREESCAN_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "logdata/ReadPlan.h"
#include "logdata/TextLog.h"

namespace trimwright {

class Freescan : public TextLog {
 public:
  // The fields up to the last one a record uses.
  static constexpr std::size_t kFieldsNeeded = 26;

  // Throws TrimwrightError when the file cannot be opened or read, or memory
  // runs out. A large file is read in parts as the plan says. Writes its lines
  // to sink, which must outlive the object.
  Freescan(const std::string& path, const ReadPlan& plan = ReadPlan::ForThisMachine(),
           Diagnostics& sink = Diagnostics::Standard());
  ~Freescan() override;

 private:
  // Decodes one record line into index; true when the record is accepted.
  bool DecodeRecord(std::uint32_t index, std::string_view line);
  // Why DecodeRecord rejected a line: kUnreadable for a line without the
  // fields of a record, else the rule its values broke.
  [[gnu::cold, gnu::noinline]] static Rejection RejectionOf(std::string_view line);
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_FREESCAN_H_
