// Reader of a Datamaster .uni log: a binary file of 128-byte records whose
// first record is a header. The constructor reads the whole file into the
// LoggedData arrays; the object is then a finished, read-only data set.
#ifndef TRIMWRIGHT_LOGDATA_DMUNI_H_
#define TRIMWRIGHT_LOGDATA_DMUNI_H_

#include <cstdint>
#include <string>

#include "common/DiskFile.h"
#include "logdata/LoggedData.h"
#include "logdata/ReadPlan.h"

namespace trimwright {

class DMUni : public LoggedData {
 public:
  static constexpr int kRecordSize = 128;

  // Throws TrimwrightError when the file cannot be opened or memory runs out.
  // A large file is read in parts as the plan says.
  DMUni(const std::string& path, const ReadPlan& plan = ReadPlan::ForThisMachine(),
        Diagnostics& sink = Diagnostics::Standard());
  ~DMUni() override;

 private:
  // Decodes data records first .. last - 1, recordsPerRead at a time, storing
  // accepted ones from index first on; returns how many were accepted and
  // why the others were not.
  RecordPart DecodeRecords(const DiskFile& file, std::uint32_t first, std::uint32_t last,
                           std::uint32_t recordsPerRead);
  // Decodes one record into index; true when the record is accepted.
  bool DecodeRecord(std::uint32_t index, const unsigned char* record);
  // The rule a record DecodeRecord rejected broke.
  [[gnu::cold, gnu::noinline]] static Rejection RejectionOf(const unsigned char* record);
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_DMUNI_H_
