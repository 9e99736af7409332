// What the two text log readers share: the engine temperature of every
// record, which decides whether it is accepted and whether the engine was
// warm, and the reading of the record lines that follow a file's header
// lines. The object owns its arrays, as LoggedData does.
#ifndef TRIMWRIGHT_LOGDATA_TEXTLOG_H_
#define TRIMWRIGHT_LOGDATA_TEXTLOG_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "logdata/LoggedData.h"
#include "logdata/ReadPlan.h"
#include "logdata/TextLogFile.h"

namespace trimwright {

class TextLog : public LoggedData {
 public:
  RecordArray<float> temperature;

 protected:
  // sink must outlive the object.
  explicit TextLog(Diagnostics& sink) : LoggedData(sink) {}

  // Opens path and reads the record lines after its headerLines header
  // lines: counts them, allocates every array, decodes each line with
  // decode(index, line) (true when the record is accepted) and finds the rule
  // a rejected line broke with rejection(line). Every line it writes starts
  // with prefix ("" or "PCMcomm:  "). Throws TrimwrightError when the file
  // cannot be opened or read, or memory runs out.
  template <typename Decode, typename Reject>
  void ReadRecords(const std::string& path, const char* prefix, std::int64_t headerLines,
                   const ReadPlan& plan, Decode decode, Reject rejection);
};

template <typename Decode, typename Reject>
void TextLog::ReadRecords(const std::string& path, const char* prefix, std::int64_t headerLines,
                          const ReadPlan& plan, Decode decode, Reject rejection) {
  TextLogFile file(path, prefix, plan, diagnostics());

  // The read that meets the end of the file is counted too, and the header
  // lines are not records.
  const std::int64_t count = file.CountLineReads() - (headerLines + 1);
  recordCount = CountFromFile(count);
  // The line the count leaves out is a record line when the header is whole.
  recordsCutOffAtEnd = count >= 0 && file.EndsWithoutLineFeed() ? 1 : 0;
  diagnostics().Out() << prefix << "No. records:  " << recordCount << std::endl;

  Allocate();
  diagnostics().Out() << prefix << "allocating memory..." << std::flush;
  AllocateArray(temperature);
  diagnostics().Out() << "okay" << std::endl;

  diagnostics().Out() << prefix << "reading in data..." << std::flush;
  const std::vector<RecordPart> parts =
      file.DecodeRecords(headerLines, recordCount, decode, rejection);
  JoinParts(parts);
  JoinParts(temperature, parts);
  file.Close();
  diagnostics().Out() << "done" << std::endl;
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_TEXTLOG_H_
