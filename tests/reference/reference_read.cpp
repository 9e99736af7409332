// reference_read LOGFILE: reads one log with the straightforward reader of its
// type (chosen by extension as the program does: .uni/.UNI, .csv/.CSV,
// .txt/.TXT) and does nothing else, so that a benchmark can time that reader
// against the fast one. The reader's diagnostic lines go out as usual.
// Exit status: 0 when the log was read, 2 for a bad command line or an unknown
// extension, and the status of the reader's error otherwise.
#include <iostream>
#include <string>

#include "app/PathRules.h"
#include "common/TrimwrightError.h"
#include "tests/reference/ReferenceReaders.h"

int main(int argc, char** argv) {
  using namespace trimwright;
  if (argc != 2) {
    std::cerr << "usage: reference_read LOGFILE\n";
    return static_cast<int>(ExitStatus::kUsage);
  }
  const std::string path = argv[1];
  const std::string extension = FileExtension(path);
  try {
    if (extension == "uni" || extension == "UNI") {
      reference::ReferenceDMUni log(path);
    } else if (extension == "csv" || extension == "CSV") {
      reference::ReferenceFreescan log(path);
    } else if (extension == "txt" || extension == "TXT") {
      reference::ReferencePCMcomm log(path);
    } else {
      std::cerr << "reference_read: " << path
                << " is no .uni, .csv or .txt log (the extension decides the reader)\n";
      return static_cast<int>(ExitStatus::kUsage);
    }
  } catch (const TrimwrightError& error) {
    return static_cast<int>(error.status());
  }
  return static_cast<int>(ExitStatus::kSuccess);
}
