// The fast log readers against the straightforward ones in tests/reference:
// every file must give the same records, bit for bit, and the same diagnostic
// lines, whichever read plan the fast reader uses. Small plans cut even a
// small log into many parts read side by side and read it a few bytes at a
// time, so part boundaries fall inside header lines, between a carriage return
// and its line feed, on the last line, and lines outgrow the read buffer.
//
// TRIMWRIGHT_DIFFERENTIAL_SEEDS=N (or FIRST-LAST) replaces the seeds of the
// random logs, for a longer search than the suite makes by default. A failure
// names the seed and the plan and keeps a copy of the file in the working
// folder.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/TrimwrightError.h"
#include "logdata/DMUni.h"
#include "logdata/Freescan.h"
#include "logdata/PCMcomm.h"
#include "logdata/ReadPlan.h"
#include "tests/reference/RandomLogs.h"
#include "tests/reference/ReferenceReaders.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::CapturedOutput;
using testing::Random;
using testing::TempDir;

// ------------------------------------------------------------ readings

// What one reader made of one file, from its construction to its destruction.
struct Reading {
  std::string out;
  std::string err;
  std::string error;  // the text of the TrimwrightError thrown; empty when none
  std::uint32_t recordCount = 0;
  std::uint32_t recordsInFile = 0;
  RejectionCounts rejected{};
  std::vector<int> rpm, blmLeft, blmRight, auxLeft, auxRight, blmCell;
  std::vector<std::uint32_t> map, throttle, temperature;  // bit patterns
  std::vector<int> engineWarm, highThrottle;
};

// The first count values, widened to int as every consumer reads them.
template <typename T>
std::vector<int> Head(const RecordArray<T>& array, std::uint32_t count) {
  return std::vector<int>(array.begin(), array.begin() + count);
}

std::vector<std::uint32_t> Bits(const RecordArray<float>& array, std::uint32_t count) {
  std::vector<std::uint32_t> bits;
  for (std::uint32_t k = 0; k < count; ++k) bits.push_back(std::bit_cast<std::uint32_t>(array[k]));
  return bits;
}

template <typename Log>
void Take(const Log& log, Reading& reading) {
  reading.recordCount = log.recordCount;
  reading.recordsInFile = log.recordsInFile;
  reading.rejected = log.rejected;
  std::uint64_t given = log.recordCount;
  for (const std::uint64_t count : log.rejected) given += count;
  if (given != log.recordsInFile) reading.error += "[records counted but given no fate]";
  // A count beyond the arrays is a fault of its own; compare what exists.
  std::uint32_t n = log.recordCount;
  for (const std::size_t size :
       {log.rpm.size(), log.map.size(), log.blmLeft.size(), log.blmRight.size(), log.auxLeft.size(),
        log.auxRight.size(), log.blmCell.size(), log.engineWarm.size(), log.highThrottle.size(),
        log.throttle.size()}) {
    if (size < n) {
      n = static_cast<std::uint32_t>(size);
      reading.error += "[recordCount beyond the arrays]";
    }
  }
  reading.rpm = Head(log.rpm, n);
  reading.map = Bits(log.map, n);
  reading.blmLeft = Head(log.blmLeft, n);
  reading.blmRight = Head(log.blmRight, n);
  reading.auxLeft = Head(log.auxLeft, n);
  reading.auxRight = Head(log.auxRight, n);
  reading.blmCell = Head(log.blmCell, n);
  reading.engineWarm = Head(log.engineWarm, n);
  reading.highThrottle = Head(log.highThrottle, n);
  reading.throttle = Bits(log.throttle, n);
  if constexpr (requires { log.temperature; }) {
    if (log.temperature.size() < n) {
      reading.error += "[recordCount beyond the temperatures]";
    } else {
      reading.temperature = Bits(log.temperature, n);
    }
  }
}

// Reads path with Reader(path, extra...) while capturing both streams.
template <typename Reader, typename... Extra>
Reading ReadWith(const std::string& path, const Extra&... extra) {
  Reading reading;
  CapturedOutput output;
  try {
    Reader log(path, extra...);
    Take(log, reading);
  } catch (const TrimwrightError& e) {
    reading.error += e.what();
  }
  reading.out = output.Stdout();
  reading.err = output.Stderr();
  return reading;
}

// Bytes as a C string literal would show them.
std::string Escaped(const std::string& bytes, std::size_t most = 400) {
  std::string text;
  for (std::size_t k = 0; k < bytes.size() && k < most; ++k) {
    const auto c = static_cast<unsigned char>(bytes[k]);
    if (c == '\n') {
      text += "\\n";
    } else if (c == '\r') {
      text += "\\r";
    } else if (c == '\t') {
      text += "\\t";
    } else if (c == '\\' || c == '"') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      text += hex;
    } else {
      text += static_cast<char>(c);
    }
  }
  if (bytes.size() > most) text += "...(" + std::to_string(bytes.size()) + " bytes)";
  return "\"" + text + "\"";
}

template <typename T>
std::string Shown(T value) {
  return std::to_string(value);
}

std::string ShownFloatBits(std::uint32_t bits) {
  std::ostringstream out;
  out << std::bit_cast<float>(bits) << " (bits 0x" << std::hex << bits << ")";
  return out.str();
}

template <typename T>
std::string FirstDifference(const char* name, const std::vector<T>& fast,
                            const std::vector<T>& reference, bool floatBits = false) {
  for (std::size_t k = 0; k < fast.size() && k < reference.size(); ++k) {
    if (fast[k] == reference[k]) continue;
    std::string fastText, referenceText;
    if constexpr (std::is_same_v<T, std::uint32_t>) {
      if (floatBits) {
        fastText = ShownFloatBits(fast[k]);
        referenceText = ShownFloatBits(reference[k]);
      }
    }
    if (fastText.empty()) {
      fastText = Shown(fast[k]);
      referenceText = Shown(reference[k]);
    }
    return std::string(name) + "[" + std::to_string(k) + "]: fast " + fastText + ", reference " +
           referenceText;
  }
  return "";
}

// Empty when the two readings agree, else the first difference.
std::string Difference(const Reading& fast, const Reading& reference) {
  if (fast.out != reference.out) {
    return "standard output:\n  fast      " + Escaped(fast.out, 2000) + "\n  reference " +
           Escaped(reference.out, 2000);
  }
  if (fast.err != reference.err) {
    return "standard error:\n  fast      " + Escaped(fast.err) + "\n  reference " +
           Escaped(reference.err);
  }
  if (fast.error != reference.error) {
    return "error: fast " + Escaped(fast.error) + ", reference " + Escaped(reference.error);
  }
  if (fast.recordCount != reference.recordCount) {
    return "recordCount: fast " + std::to_string(fast.recordCount) + ", reference " +
           std::to_string(reference.recordCount);
  }
  if (fast.recordsInFile != reference.recordsInFile) {
    return "recordsInFile: fast " + std::to_string(fast.recordsInFile) + ", reference " +
           std::to_string(reference.recordsInFile);
  }
  for (std::size_t rule = 0; rule < kRejectionSlots; ++rule) {
    if (fast.rejected[rule] != reference.rejected[rule]) {
      return std::string("rejected by ") + RejectionName(static_cast<Rejection>(rule)) + ": fast " +
             std::to_string(fast.rejected[rule]) + ", reference " +
             std::to_string(reference.rejected[rule]);
    }
  }
  for (const std::string& difference :
       {FirstDifference("rpm", fast.rpm, reference.rpm),
        FirstDifference("map", fast.map, reference.map, true),
        FirstDifference("blmLeft", fast.blmLeft, reference.blmLeft),
        FirstDifference("blmRight", fast.blmRight, reference.blmRight),
        FirstDifference("auxLeft", fast.auxLeft, reference.auxLeft),
        FirstDifference("auxRight", fast.auxRight, reference.auxRight),
        FirstDifference("blmCell", fast.blmCell, reference.blmCell),
        FirstDifference("engineWarm", fast.engineWarm, reference.engineWarm),
        FirstDifference("highThrottle", fast.highThrottle, reference.highThrottle),
        FirstDifference("throttle", fast.throttle, reference.throttle, true),
        FirstDifference("temperature", fast.temperature, reference.temperature, true)}) {
    if (!difference.empty()) return difference;
  }
  return "";
}

// ---------------------------------------------------------------- plans

std::string Described(const ReadPlan& plan) {
  return "plan {workers " + std::to_string(plan.workers) + ", minBytesPerPart " +
         std::to_string(plan.minBytesPerPart) + ", blockBytes " + std::to_string(plan.blockBytes) +
         "}";
}

ReadPlan Plan(unsigned workers, std::int64_t minBytesPerPart, std::size_t blockBytes) {
  ReadPlan plan;
  plan.workers = workers;
  plan.minBytesPerPart = minBytesPerPart;
  plan.blockBytes = blockBytes;
  return plan;
}

const unsigned kWorkers[] = {1, 2, 3, 5, 8};
const std::size_t kBlockBytes[] = {1, 7, 64, 1000, 4096};
const std::int64_t kMinBytesPerPart[] = {1, 64, 4096};

// The plans the program uses, and every worker count with every block size,
// each with a part size drawn at random: across seeds every combination
// comes up, and a file costs a third of trying them all.
std::vector<ReadPlan> PlansFor(Random& random) {
  std::vector<ReadPlan> plans{ReadPlan{}, ReadPlan::ForThisMachine()};
  std::uniform_int_distribution<std::size_t> minBytes(0, std::size(kMinBytesPerPart) - 1);
  for (const unsigned workers : kWorkers) {
    for (const std::size_t blockBytes : kBlockBytes) {
      plans.push_back(Plan(workers, kMinBytesPerPart[minBytes(random)], blockBytes));
    }
  }
  return plans;
}

// For files of a few hundred bytes, where a larger part size would leave
// them in one part.
std::vector<ReadPlan> SmallFilePlans() {
  std::vector<ReadPlan> plans{ReadPlan{}, ReadPlan::ForThisMachine()};
  for (const unsigned workers : kWorkers) {
    for (const std::size_t blockBytes : kBlockBytes) plans.push_back(Plan(workers, 1, blockBytes));
  }
  return plans;
}

// ------------------------------------------------------------- formats

struct FreescanFormat {
  using Fast = Freescan;
  using Reference = reference::ReferenceFreescan;
  static constexpr const char* kExtension = ".csv";
};

struct PCMcommFormat {
  using Fast = PCMcomm;
  using Reference = reference::ReferencePCMcomm;
  static constexpr const char* kExtension = ".txt";
};

struct DMUniFormat {
  using Fast = DMUni;
  using Reference = reference::ReferenceDMUni;
  static constexpr const char* kExtension = ".uni";
};

// A copy of a file that made the readers differ, left in the working folder.
std::string KeepForInspection(const std::string& path) {
  std::error_code failed;
  const std::filesystem::path kept =
      std::filesystem::current_path(failed) /
      ("differential-failure-" + std::filesystem::path(path).filename().string());
  std::filesystem::copy_file(path, kept, std::filesystem::copy_options::overwrite_existing, failed);
  return failed ? "(no copy kept: " + failed.message() + ")" : "kept as " + kept.string();
}

// Reads the file at path with the reference reader, then with the fast one
// under every plan; stops at the first plan that gives a different reading.
template <typename Format>
::testing::AssertionResult ReadsAlike(const std::string& path, const std::vector<ReadPlan>& plans) {
  const Reading expected = ReadWith<typename Format::Reference>(path);
  for (const ReadPlan& plan : plans) {
    const std::string difference =
        Difference(ReadWith<typename Format::Fast>(path, plan), expected);
    if (!difference.empty()) {
      const std::string bytes = tools::ReadFile(path);
      return ::testing::AssertionFailure()
             << Described(plan) << " reads " << path << " unlike the reference: " << difference
             << "\n  file " << Escaped(bytes, 1500) << "\n  " << KeepForInspection(path);
    }
  }
  return ::testing::AssertionSuccess();
}

// The seeds of the random logs: 1 .. defaultCount unless the environment
// names others.
std::vector<unsigned> Seeds(unsigned defaultCount) {
  unsigned first = 1;
  unsigned last = defaultCount;
  if (const char* text = std::getenv("TRIMWRIGHT_DIFFERENTIAL_SEEDS")) {
    unsigned a = 0, b = 0;
    if (std::sscanf(text, "%u-%u", &a, &b) == 2) {
      first = a;
      last = b;
    } else if (std::sscanf(text, "%u", &a) == 1) {
      last = a;
    }
  }
  std::vector<unsigned> seeds;
  for (unsigned seed = first; seed <= last; ++seed) seeds.push_back(seed);
  return seeds;
}

// ------------------------------------------------------- random logs

class DifferentialTest : public ::testing::Test {
 protected:
  // Writes bytes to a file named after the test case and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.File(name);
    tools::WriteFile(path, bytes);
    return path;
  }

  template <typename Format, typename Make>
  void ExpectRandomLogsReadAlike(const char* kind, unsigned defaultSeeds, Make make) {
    for (const unsigned seed : Seeds(defaultSeeds)) {
      Random random(seed);
      const std::string path = Write(
          std::string(kind) + "-seed" + std::to_string(seed) + Format::kExtension, make(random));
      EXPECT_TRUE(ReadsAlike<Format>(path, PlansFor(random))) << "seed " << seed;
    }
  }

  TempDir dir_;
};

TEST_F(DifferentialTest, RandomFreescanLogsReadAlikeUnderEveryPlan) {
  ExpectRandomLogsReadAlike<FreescanFormat>(
      "freescan", 16, [](Random& random) { return testing::RandomFreescanLog(random, 120); });
}

TEST_F(DifferentialTest, RandomPCMcommLogsReadAlikeUnderEveryPlan) {
  ExpectRandomLogsReadAlike<PCMcommFormat>(
      "pcmcomm", 16, [](Random& random) { return testing::RandomPCMcommLog(random, 120); });
}

TEST_F(DifferentialTest, RandomUniLogsReadAlikeUnderEveryPlan) {
  ExpectRandomLogsReadAlike<DMUniFormat>(
      "uni", 30, [](Random& random) { return testing::RandomUniLog(random, 150); });
}

// ---------------------------------------------------- chosen text logs

// Files at the edges of the line count: empty, shorter than the header,
// header only, a last line with or without its line feed, line ends of every
// kind, NUL bytes.
TEST_F(DifferentialTest, ShortAndDegenerateTextLogsReadAlike) {
  const std::string record = tools::JoinFields(tools::FreescanFields(tools::FreescanRecord{}), ",");
  const std::string row = tools::JoinFields(tools::PCMcommFields(tools::PCMcommRecord{}), " ");
  const std::string nul(1, '\0');
  const std::string header5 = "h1\nh2\nh3\nh4\nh5\n";
  const std::vector<std::string> common{"",
                                        "\n",
                                        "\r\n",
                                        "\r",
                                        "\n\n",
                                        "\r\n\r\n",
                                        "header",
                                        "header\n",
                                        "header\r\n",
                                        "header\r",
                                        nul,
                                        nul + "\n" + nul + "\n",
                                        "h1\nh2\nh3\nh4\n",
                                        "h1\nh2\nh3\nh4\nh5",
                                        header5,
                                        header5 + "\n",
                                        "h1\rh2\rh3\rh4\rh5\r" + row + "\r"};
  std::vector<std::string> csv = common;
  for (const char* end : {"", "\n", "\r\n", "\r", "\r\r\n", "\n\n"}) {
    csv.push_back("header\n" + record + end);
    csv.push_back("header\r\n" + record + "\r\n" + record + end);
    csv.push_back(record + "\n" + record + end);  // no header: the first record is skipped
  }
  csv.push_back("header\n" + nul + record + "\n" + record + nul + "\n");
  std::vector<std::string> txt = common;
  for (const char* end : {"", "\n", "\r\n", "\r", "\r\r\n", "\n\n"}) {
    txt.push_back(header5 + row + end);
    txt.push_back("1\r\n2\r\n3\r\n4\r\n5\r\n" + row + "\r\n" + row + end);
    txt.push_back("1\n2\n3\n4\n" + row + "\n" + row + end);  // a record in the header
  }
  txt.push_back(header5 + nul + row + "\n" + row + nul + "\n");

  const std::vector<ReadPlan> plans = SmallFilePlans();
  for (std::size_t k = 0; k < csv.size(); ++k) {
    const std::string path = Write("short" + std::to_string(k) + ".csv", csv[k]);
    EXPECT_TRUE(ReadsAlike<FreescanFormat>(path, plans));
  }
  for (std::size_t k = 0; k < txt.size(); ++k) {
    const std::string path = Write("short" + std::to_string(k) + ".txt", txt[k]);
    EXPECT_TRUE(ReadsAlike<PCMcommFormat>(path, plans));
  }
}

// A record line with the decoded fields only; the others stay empty (.csv)
// or one letter (.txt), to keep the lines short.
std::string CompactCsvRecord(const tools::FreescanRecord& record) {
  std::vector<std::string> fields = tools::FreescanFields(record);
  for (const std::size_t k : {0, 1, 2, 3, 5, 6, 7, 13, 14, 15, 16, 19, 20, 21, 22, 23, 24}) {
    fields[k].clear();
  }
  return tools::JoinFields(fields, ",");
}

std::string CompactTxtRecord(const tools::PCMcommRecord& record) {
  std::vector<std::string> fields = tools::PCMcommFields(record);
  for (const std::size_t k : {0, 1, 3, 4, 5, 6, 8, 10, 12, 13, 14, 20, 21, 22, 23, 24}) {
    fields[k] = "f";
  }
  return tools::JoinFields(fields, " ");
}

// Lines that each test something (a carriage return pair, an empty line, a
// line of only separators, an unfinished last line) read with a part boundary
// at every byte in turn: first the header grows, which moves the boundaries
// back through the lines, then a tail does, which moves them forward. Reading
// a byte per block, two parts put the boundary in the middle of the file and
// three parts at its thirds.
TEST_F(DifferentialTest, PartBoundaryAtEveryPlaceReadsAlike) {
  const std::vector<ReadPlan> plans{Plan(2, 1, 1), Plan(3, 1, 1)};
  tools::FreescanRecord hot;
  hot.temperature = "149.9";
  hot.throttle = "100";
  const std::string record = CompactCsvRecord(hot);
  const std::string csvBody = record + "\r\n\r\n" + CompactCsvRecord({}) + "\n" +
                              std::string(25, ',') + "\n" + record + "\r\r\n" + record + ",x\n\n" +
                              record;
  tools::PCMcommRecord cold;
  cold.temperatureF = "-50F";
  cold.throttlePercent = "99.9%x";
  const std::string row = CompactTxtRecord(cold);
  const std::string txtBody =
      row + "\r\n\n" + CompactTxtRecord({}) + "   \n " + row + "\n" + row + "\r\r\n\r\n" + row;

  // Two header bytes more move the middle back by one byte.
  for (std::size_t header = 0; header <= 2 * csvBody.size(); header += 2) {
    const std::string path = Write("header" + std::to_string(header) + ".csv",
                                   std::string(header, 'h') + "\n" + csvBody);
    ASSERT_TRUE(ReadsAlike<FreescanFormat>(path, plans));
  }
  for (std::size_t tail = 1; tail <= 2 * csvBody.size(); tail += 2) {
    const std::string path = Write("tail" + std::to_string(tail) + ".csv",
                                   "h\n" + csvBody + "\n" + std::string(tail - 1, 't') + "\n");
    ASSERT_TRUE(ReadsAlike<FreescanFormat>(path, plans));
  }
  for (std::size_t header = 0; header <= 2 * txtBody.size(); header += 2) {
    const std::string path = Write("header" + std::to_string(header) + ".txt",
                                   std::string(header, 'h') + "\nh\r\nh\n\nh\n" + txtBody);
    ASSERT_TRUE(ReadsAlike<PCMcommFormat>(path, plans));
  }
  for (std::size_t tail = 1; tail <= 2 * txtBody.size(); tail += 2) {
    const std::string path =
        Write("tail" + std::to_string(tail) + ".txt",
              "h\nh\nh\nh\nh\n" + txtBody + "\n" + std::string(tail - 1, 't') + "\n");
    ASSERT_TRUE(ReadsAlike<PCMcommFormat>(path, plans));
  }
}

// Lines whose lengths go through every remainder of 16 three times over, each
// with a separator, an empty field or the last field at its very end, where a
// splitter that works through a line in 16-byte steps handles the rest.
TEST_F(DifferentialTest, FieldsAtTheEndOfLinesOfEveryLengthReadAlike) {
  const std::vector<ReadPlan> plans{ReadPlan{}, Plan(3, 1, 64)};
  std::string csv = "header\n";
  std::string txt = "h\nh\nh\nh\nh\n";
  for (std::size_t pad = 0; pad < 48; ++pad) {
    const std::string end = pad % 2 == 0 ? "\n" : "\r\n";
    std::vector<std::string> fields = tools::FreescanFields(tools::FreescanRecord{});
    fields[1] = std::string(pad, 'p');
    const std::string record = tools::JoinFields(fields, ",");
    std::vector<std::string> first25(fields.begin(), fields.end() - 1);
    csv += record + end;
    csv += record + "," + end;
    csv += tools::JoinFields(first25, ",") + "," + end;  // an empty temperature reads as 0
    csv += tools::JoinFields(first25, ",") + end;
    csv += std::string(25 + pad, ',') + end;

    std::vector<std::string> columns = tools::PCMcommFields(tools::PCMcommRecord{});
    columns[0] = "p" + std::string(pad, 'p');
    const std::string row = tools::JoinFields(columns, " ");
    std::vector<std::string> first24(columns.begin(), columns.end() - 1);
    txt += row + end;
    txt += row + " " + end;
    txt += row + std::string(pad % 5 + 2, ' ') + end;
    txt += " " + row + end;
    txt += row + " x" + end;
    txt += row + "\t" + end;
    txt += tools::JoinFields(first24, " ") + " " + end;
    txt += std::string(pad + 1, ' ') + end;
  }
  EXPECT_TRUE(ReadsAlike<FreescanFormat>(Write("lengths.csv", csv), plans));
  EXPECT_TRUE(ReadsAlike<PCMcommFormat>(Write("lengths.txt", txt), plans));
}

// A line of a few hundred kilobytes outgrows the read buffer of the plan the
// program uses.
TEST_F(DifferentialTest, LineLongerThanTheDefaultBlockReadsAlike) {
  const std::size_t longField = (std::size_t{600} << 10) + 3;
  const std::vector<ReadPlan> plans{ReadPlan{}, ReadPlan::ForThisMachine(),
                                    Plan(2, 1, ReadPlan{}.blockBytes)};

  std::vector<std::string> fields = tools::FreescanFields(tools::FreescanRecord{});
  const std::string record = tools::JoinFields(fields, ",");
  fields[5] = std::string(longField, '5');
  const std::string csv = std::string(longField, 'h') + "\n" + record + "\n" +
                          tools::JoinFields(fields, ",") + "\r\n" + record + "\n";
  EXPECT_TRUE(ReadsAlike<FreescanFormat>(Write("long.csv", csv), plans));

  std::vector<std::string> columns = tools::PCMcommFields(tools::PCMcommRecord{});
  const std::string row = tools::JoinFields(columns, " ");
  columns[3] = std::string(longField, '3');
  const std::string txt = "h\nh\n" + std::string(longField, 'h') + "\nh\nh\n" + row + "\n" +
                          tools::JoinFields(columns, " ") + "\r\n" + row + "\n";
  EXPECT_TRUE(ReadsAlike<PCMcommFormat>(Write("long.txt", txt), plans));
}

TEST_F(DifferentialTest, UnopenableFilesFailAlike) {
  const std::vector<ReadPlan> plans{ReadPlan{}, Plan(3, 1, 7)};
  for (const std::string& path : {dir_.File("missing"), dir_.path()}) {
    EXPECT_TRUE(ReadsAlike<FreescanFormat>(path, plans));
    EXPECT_TRUE(ReadsAlike<PCMcommFormat>(path, plans));
    EXPECT_TRUE(ReadsAlike<DMUniFormat>(path, plans));
  }
}

// ---------------------------------------------------------- reference_read

// The benchmark times reference_read against the program, so it must read the
// log as the program does (the reader by extension, the same lines) and exit
// 0, and refuse what the program refuses.
TEST_F(DifferentialTest, ReferenceReadReadsByExtensionWithTheReadersLines) {
  const std::string kProgram = TRIMWRIGHT_REFERENCE_READ_PATH;
  Random random(3);
  const std::string csv = Write("drive.CSV", testing::RandomFreescanLog(random, 20));
  const std::string txt = Write("drive.txt", testing::RandomPCMcommLog(random, 20));
  const std::string uni = Write("drive.uni", tools::UniLog(std::vector<tools::UniRecord>(4)));
  for (const auto& [path, expected] :
       {std::pair{csv, ReadWith<Freescan>(csv)}, std::pair{txt, ReadWith<PCMcomm>(txt)},
        std::pair{uni, ReadWith<DMUni>(uni)}}) {
    const testing::ProcessResult run = testing::RunProcess({kProgram, path});
    EXPECT_EQ(run.exitStatus, 0) << path;
    EXPECT_EQ(run.out, expected.out) << path;
    EXPECT_EQ(run.err, "") << path;
  }

  const testing::ProcessResult missing = testing::RunProcess({kProgram, dir_.File("none.txt")});
  EXPECT_EQ(missing.exitStatus, static_cast<int>(ExitStatus::kFileOrMemory));
  EXPECT_EQ(missing.err, "PCMcomm:  Unable to open input file " + dir_.File("none.txt") + "\n");

  for (const char* name : {"drive.Csv", "drive", "drive.uni.bak"}) {
    const testing::ProcessResult refused = testing::RunProcess({kProgram, Write(name, "")});
    EXPECT_EQ(refused.exitStatus, static_cast<int>(ExitStatus::kUsage)) << name;
    EXPECT_EQ(refused.out, "") << name;
    EXPECT_NE(refused.err, "") << name;
  }
  EXPECT_EQ(testing::RunProcess({kProgram}).exitStatus, static_cast<int>(ExitStatus::kUsage));
}

}  // namespace
}  // namespace trimwright
