// Memory that runs out while a reader sizes its arrays: the reader writes its
// three lines and the error reaches the caller with the exit status for
// memory. This executable replaces the global allocator so that one chosen
// allocation fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "common/TrimwrightError.h"
#include "logdata/DMUni.h"
#include "logdata/Freescan.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/TempDir.h"
#include "tools/LogWriter.h"

// The replacement pair below allocates with malloc and frees with free; when
// the optimiser inlines it, GCC takes the pair for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

// The allocation of this size whose turn comes fails; 0 means none.
std::size_t gFailSize = 0;
int gFailTurn = 0;

}  // namespace

void* operator new(std::size_t size) {
  if (gFailSize != 0 && size == gFailSize && --gFailTurn == 0) {
    gFailSize = 0;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace trimwright {
namespace {

using testing::CapturedOutput;
using testing::TempDir;

// 1001 records: each array of bytes takes 1001 bytes and each of floats 4004,
// sizes nothing else asks for.
constexpr std::size_t kRecords = 1001;
constexpr std::size_t kByteArrayBytes = kRecords;
constexpr std::size_t kFloatArrayBytes = kRecords * 4;

const char kOutOfMemoryLines[] =
    "Exception occurred: std::bad_alloc\n"
    "Could not allocate requested memory - buy some more RAM or\n"
    "or try a smaller file.\n";

void FailAllocation(std::size_t size, int turn) {
  gFailSize = size;
  gFailTurn = turn;
}

TEST(OutOfMemoryTest, SharedArraysReportAndThrow) {
  TempDir dir;
  const std::string path = dir.File("big.uni");
  tools::WriteFile(path, tools::UniLog(std::vector<tools::UniRecord>(kRecords)));
  CapturedOutput output;
  FailAllocation(kByteArrayBytes, 1);  // blmLeft
  try {
    DMUni log(path);
    FAIL() << "allocation failure went unnoticed";
  } catch (const TrimwrightError& e) {
    EXPECT_EQ(e.status(), ExitStatus::kFileOrMemory);
    EXPECT_NE(std::string(e.what()).find("std::bad_alloc"), std::string::npos);
  }
  EXPECT_EQ(output.Stdout(),
            "LoggedData:  default constructor\n"
            "DMUni:  in constructor with arg " +
                path +
                "\n"
                "DMUni:  the number of records is 1001\n"
                "LoggedData:  allocating memory..." +
                std::string(kOutOfMemoryLines) + "LoggedData:  destructing......done\n");
}

TEST(OutOfMemoryTest, ReadersOwnArrayReportsTheSameWay) {
  TempDir dir;
  const std::string path = dir.File("big.csv");
  tools::WriteFile(path, tools::FreescanLog(std::vector<tools::FreescanRecord>(kRecords)));
  CapturedOutput output;
  FailAllocation(kFloatArrayBytes, 3);  // map, throttle, then temperature
  EXPECT_THROW(Freescan log(path), TrimwrightError);
  EXPECT_NE(output.Stdout().find("LoggedData:  allocating memory...okay\n"
                                 "allocating memory..." +
                                 std::string(kOutOfMemoryLines)),
            std::string::npos)
      << output.Stdout();
}

}  // namespace
}  // namespace trimwright
