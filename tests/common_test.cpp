// The shared pieces below the readers: record arrays and their memory, parts
// run side by side, the read plan, and the test hooks of the file class.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/DiskFile.h"
#include "common/ParallelParts.h"
#include "common/RecordAllocator.h"
#include "logdata/ReadPlan.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TempDir.h"

namespace trimwright {
namespace {

// Entry counts that land in each kind of memory: the general heap, a shared
// chunk, and a mapping of its own.
constexpr std::size_t kSmall = 100;
constexpr std::size_t kPooled = 100'000;
constexpr std::size_t kMapped = 3'000'000;

TEST(RecordArrayTest, ArraysSizedOnceReadAsZeros) {
  for (const std::size_t count : {kSmall, kPooled, kMapped}) {
    RecordArray<std::int32_t> array;
    array.resize(count);
    ASSERT_EQ(array.size(), count);
    EXPECT_TRUE(std::all_of(array.begin(), array.end(), [](std::int32_t v) { return v == 0; }))
        << count << " entries";
    // Every entry is writable memory of the array's own.
    for (std::size_t k = 0; k < count; ++k) array[k] = static_cast<std::int32_t>(k);
    EXPECT_EQ(array[count - 1], static_cast<std::int32_t>(count - 1));
  }
}

TEST(RecordArrayTest, GrowingKeepsTheValues) {
  RecordArray<float> array;
  for (std::size_t k = 0; k < kMapped; ++k) array.push_back(static_cast<float>(k % 1000));
  for (std::size_t k = 0; k < kMapped; k += 4099) {
    ASSERT_EQ(array[k], static_cast<float>(k % 1000)) << k;
  }
}

TEST(RecordArrayTest, SharedChunksServeManyArraysThroughoutTheirLives) {
  // Enough medium arrays to fill several chunks, released in an order that
  // empties chunks both before and after newer ones, then allocated again:
  // every array must keep its own values throughout.
  std::vector<RecordArray<std::int32_t>> arrays;
  for (int round = 0; round < 3; ++round) {
    for (int k = 0; k < 120; ++k) {
      arrays.emplace_back(static_cast<std::size_t>(20'000 + 997 * k));
      std::fill(arrays.back().begin(), arrays.back().end(), k + 1000 * round);
    }
    for (std::size_t k = 0; k < arrays.size(); k += 2) arrays[k] = RecordArray<std::int32_t>();
    for (std::size_t k = arrays.size(); k-- > 0;) {
      if (k % 3 == 0) arrays[k] = RecordArray<std::int32_t>();
    }
  }
  for (std::size_t k = 0; k < arrays.size(); ++k) {
    const RecordArray<std::int32_t>& array = arrays[k];
    if (array.empty()) continue;
    const std::int32_t value = array.front();
    EXPECT_TRUE(std::all_of(array.begin(), array.end(), [&](std::int32_t v) { return v == value; }))
        << "array " << k;
  }
}

TEST(RecordArrayTest, EntriesDroppedAndAddedAgainReadAsZeros) {
  RecordArray<std::int32_t> array(100);
  std::fill(array.begin(), array.end(), 7);
  array.resize(10);
  array.resize(100);
  EXPECT_EQ(array[9], 7);
  EXPECT_TRUE(std::all_of(array.begin() + 10, array.end(), [](std::int32_t v) { return v == 0; }));
  array.clear();
  array.resize(5);
  EXPECT_EQ(array[0], 0);
}

TEST(RecordArrayTest, ImpossibleSizesAreReportedAsExhaustedMemory) {
  RecordArray<std::int32_t> array;
  EXPECT_THROW(array.reserve(std::size_t{1} << 60), std::bad_alloc);
  RecordAllocator<double> allocator;
  EXPECT_THROW((void)allocator.allocate(SIZE_MAX / 4), std::bad_alloc);
}

TEST(RunPartsTest, RunsEveryPartOnce) {
  for (const std::size_t count : {0u, 1u, 2u, 7u}) {
    std::vector<std::atomic<int>> runs(count);
    RunParts(count, [&](std::size_t part) { ++runs[part]; });
    for (std::size_t k = 0; k < count; ++k) EXPECT_EQ(runs[k].load(), 1) << count << " parts";
  }
}

TEST(RunPartsTest, RethrowsTheLowestFailingPartAfterAllFinish) {
  std::atomic<int> finished{0};
  try {
    RunParts(5, [&](std::size_t part) {
      ++finished;
      if (part == 3) throw std::runtime_error("part 3");
      if (part == 1) throw std::runtime_error("part 1");
    });
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "part 1");
  }
  EXPECT_EQ(finished.load(), 5);
}

TEST(ReadPlanTest, PartsFollowSizeAndWorkers) {
  ReadPlan plan;
  plan.workers = 4;
  plan.minBytesPerPart = 1000;
  EXPECT_EQ(plan.PartsFor(0), 1u);
  EXPECT_EQ(plan.PartsFor(1999), 1u);
  EXPECT_EQ(plan.PartsFor(2000), 2u);
  EXPECT_EQ(plan.PartsFor(1'000'000), 4u);
  plan.workers = 0;  // a plan without workers still reads
  EXPECT_EQ(plan.PartsFor(1'000'000), 1u);
  plan.workers = 3;
  plan.minBytesPerPart = 0;
  EXPECT_EQ(plan.PartsFor(5), 3u);
  const ReadPlan machine = ReadPlan::ForThisMachine();
  EXPECT_GE(machine.workers, 1u);
  EXPECT_LE(machine.workers, 8u);
}

// Every write, sync and truncation of a file goes through the file system
// it was made with, by the path it was opened with; one the file system
// turns down fails.
TEST(DiskFileTest, WritesAndSyncsGoThroughItsFileSystem) {
  testing::TempDir dir;
  const std::string kept = dir.File("kept");
  const std::string failed = dir.File("failed");
  testing::FaultyFileSystem fileSystem;
  fileSystem.failWhen = [](const testing::FaultyFileSystem::Operation& op, int) {
    return op.path.ends_with("failed");
  };
  DiskFile file(fileSystem);
  ASSERT_TRUE(file.CreateOrTruncate(kept));
  EXPECT_TRUE(file.Write("x", 1) && file.Sync() && file.Truncate(0) && file.WriteAt(0, "y", 1));
  ASSERT_TRUE(file.CreateOrTruncate(failed));
  EXPECT_FALSE(file.Sync());
  EXPECT_FALSE(file.Write("x", 1));
  std::vector<std::string> done;
  for (const auto& op : fileSystem.operations) {
    done.push_back(op.kind + (op.failed ? " failed " : " ") + op.path);
  }
  EXPECT_EQ(done, (std::vector<std::string>{"write " + kept, "sync " + kept, "truncate " + kept,
                                            "write " + kept, "sync failed " + failed,
                                            "write failed " + failed}));
  DiskFile plain;
  ASSERT_TRUE(plain.CreateOrTruncate(failed));
  EXPECT_TRUE(plain.Sync()) << "the real file system";
}

}  // namespace
}  // namespace trimwright
