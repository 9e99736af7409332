// Shared pieces of the libFuzzer harnesses: silencing the core's diagnostic
// lines, a private scratch folder for the files a harness hands the core, and
// the checks every harness makes. A broken invariant prints one line to the
// real standard error and traps, which libFuzzer reports as a crash together
// with the input that caused it.
#ifndef TRIMWRIGHT_TESTS_FUZZ_FUZZSUPPORT_H_
#define TRIMWRIGHT_TESTS_FUZZ_FUZZSUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <vector>

#include "common/TrimwrightError.h"
#include "logdata/LoggedData.h"

namespace trimwright::fuzz {

// Prints "fuzz check failed: what (file:line)" with C stdio, which the
// silenced C++ streams do not reach, and traps.
[[noreturn]] void Fail(const std::string& what, const char* file, int line);

#define TRIMWRIGHT_FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::trimwright::fuzz::Fail(#condition, __FILE__, __LINE__))

// A stream buffer that accepts and discards everything.
class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// Sends std::cout, std::cerr and std::clog to a NullBuffer for the lifetime of
// the object and restores them afterwards. The core writes a line for nearly
// every step, which would bury libFuzzer's own output and slow it down.
// With TRIMWRIGHT_FUZZ_VERBOSE set in the environment nothing is silenced, so
// replaying one input shows what the core said about it.
class SilencedStreams {
 public:
  SilencedStreams();
  ~SilencedStreams();
  SilencedStreams(const SilencedStreams&) = delete;
  SilencedStreams& operator=(const SilencedStreams&) = delete;

 private:
  NullBuffer null_;
  bool silenced_;
  std::streambuf* out_ = nullptr;
  std::streambuf* err_ = nullptr;
  std::streambuf* log_ = nullptr;
};

// True when TRIMWRIGHT_FUZZ_VERBOSE is set.
bool Verbose();

// The private folder (mode 0700) of this process, created on first use and
// removed with its contents at a normal exit. It lies in
// $TRIMWRIGHT_FUZZ_SCRATCH when that is set, else in /dev/shm when that
// exists: a tuning run syncs both files it writes, which costs milliseconds
// per input on a disk and nothing on a memory file system. A process that
// crashes leaves its folder behind; scripts/fuzz removes the folder it hands
// over in TRIMWRIGHT_FUZZ_SCRATCH.
const std::string& ScratchFolder();
std::string ScratchFile(const std::string& name);
// Removes everything inside the scratch folder, so that no file of the last
// input influences the next one.
void EmptyScratchFolder();

// Replaces the file's contents; a failure is a fault of the harness's
// surroundings and stops the process.
void WriteBytes(const std::string& path, const std::string& bytes);
// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadBytes(const std::string& path);

// The number of descriptors this process holds open.
int OpenDescriptorCount();

// True when an exclusive advisory lock on the file can be taken at once,
// that is when no open descriptor still holds one.
bool IsUnlocked(const std::string& path);

// The records a log file of the given bytes can hold: the number of lines
// (a last line without its line feed counts) after the header lines.
std::uint32_t TextRecordsInFile(const std::uint8_t* data, std::size_t size, int headerLines);

// What every reader's result must satisfy: no more records accepted than the
// file holds, arrays long enough for them, and every accepted record inside
// the ranges all readers enforce.
void CheckAcceptedRecords(const LoggedData& log, std::uint32_t recordsInFile);

// What the two text readers add: the throttle in percent and the temperature
// inside the reader's own range for every accepted record.
void CheckTextRecords(const LoggedData& log, const RecordArray<float>& temperature,
                      float lowestTemperature, float highestTemperature);

// Runs construct(). A TrimwrightError is a refusal the core may give and
// yields null; any other exception escaping is a fault and stops the process
// with its text.
template <typename Construct>
auto ConstructOrRefuse(Construct construct) -> decltype(construct()) {
  try {
    return construct();
  } catch (const TrimwrightError&) {
    return nullptr;
  } catch (const std::exception& e) {
    Fail(std::string("exception other than TrimwrightError escaped: ") + e.what(), __FILE__,
         __LINE__);
  } catch (...) {
    Fail("exception of unknown type escaped", __FILE__, __LINE__);
  }
}

// Writes data to the scratch file fileName, reads it with Reader and checks
// what was accepted: CheckAcceptedRecords with recordsInFile, then
// check(reader) for the reader's own rules. Output stays silenced throughout,
// the reader's destruction included.
template <typename Reader, typename ReaderCheck>
void FuzzLogReader(const std::uint8_t* data, std::size_t size, const std::string& fileName,
                   std::uint32_t recordsInFile, ReaderCheck check) {
  const std::string path = ScratchFile(fileName);
  WriteBytes(path, std::string(reinterpret_cast<const char*>(data), size));
  SilencedStreams silenced;
  std::unique_ptr<Reader> reader =
      ConstructOrRefuse([&] { return std::make_unique<Reader>(path); });
  if (!reader) return;
  CheckAcceptedRecords(*reader, recordsInFile);
  check(*reader);
}

}  // namespace trimwright::fuzz

#endif  // TRIMWRIGHT_TESTS_FUZZ_FUZZSUPPORT_H_
