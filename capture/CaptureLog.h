// The .csv log a capture writes: created new (never over an existing file),
// the header line first, then one whole record line per write, so that a
// capture killed at any moment leaves only whole lines. Owns the descriptor;
// Finish syncs and closes it, Discard removes a log that holds no record.
#ifndef TRIMWRIGHT_CAPTURE_CAPTURELOG_H_
#define TRIMWRIGHT_CAPTURE_CAPTURELOG_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace trimwright {

class CaptureLog {
 public:
  // Creates path and writes the header line. Throws TrimwrightError (status
  // kFileOrMemory) naming path when it exists already (whatever it is) or
  // cannot be created or written; nothing is left behind then.
  CaptureLog(const std::string& path, std::string_view header);
  ~CaptureLog();
  CaptureLog(const CaptureLog&) = delete;
  CaptureLog& operator=(const CaptureLog&) = delete;

  // Writes line and its line feed in one write. On a failure the file is cut
  // back to the lines before, and TrimwrightError is thrown.
  void Append(std::string_view line);

  // Syncs the log and its folder's entry for it, and closes it. Throws
  // TrimwrightError when that fails.
  void Finish();

  // Closes and removes the log. For a capture that ends without a record.
  void Discard() noexcept;

  // Throws the error the constructor throws for an existing path, when
  // something (a link too, even a dangling one) is there.
  static void RefuseExisting(const std::string& path);

  std::uint64_t records() const { return records_; }
  const std::string& path() const { return path_; }

 private:
  void WriteWhole(std::string_view line, const char* what);

  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::uint64_t records_ = 0;
  std::string pending_;  // the line being written, with its line feed
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_CAPTURELOG_H_
