// Line access to a text log for the two text readers: opening (a directory or
// an unreadable file counts as not openable), the counting pass, rewinding and
// reading one line at a time with a carriage return before the line feed
// dropped. Owns the open stream; not copyable.
#ifndef TRIMWRIGHT_LOGDATA_TEXTLOGFILE_H_
#define TRIMWRIGHT_LOGDATA_TEXTLOGFILE_H_

#include <cstdint>
#include <fstream>
#include <string>

namespace trimwright {

class TextLogFile {
 public:
  // diagnosticPrefix starts every failure line ("" or "PCMcomm:  "). The
  // failure lines go to standard error, then TrimwrightError is thrown.
  TextLogFile(const std::string& path, const std::string& diagnosticPrefix);

  TextLogFile(const TextLogFile&) = delete;
  TextLogFile& operator=(const TextLogFile&) = delete;

  // Reads lines until the end of the file and returns how many reads that took,
  // counting the read that meets the end. A last line without a line break
  // ends in that read, so it counts once instead of twice.
  std::int64_t CountLineReads();

  // Closes the file and opens it again from the start.
  void Rewind();

  // Reads the next line into line, without its line feed and without one
  // carriage return before it. At the end of the file line comes back empty.
  void ReadLine(std::string& line);

  void Close() { file_.close(); }

 private:
  void Open();
  [[noreturn]] void Fail(const std::string& what) const;

  std::string path_;
  std::string diagnosticPrefix_;
  std::ifstream file_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_TEXTLOGFILE_H_
