// A tuning pass killed with SIGKILL at random moments never leaves a half
// written image: afterwards the image is byte for byte either the old one or
// the one an uninterrupted pass produces, and its checksum agrees with its
// bytes. The history beside the image agrees with it after every kill, the
// trimming of old entries that ends each pass included: no entry is left
// damaged, and an undo gives back the image before the last pass that
// reached it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempDir.h"
#include "tools/DriveSimulator.h"

namespace trimwright {
namespace {

using testing::ExitStatusOf;
using testing::Spawn;
using testing::TempDir;
using tools::CalibrationImage;
using tools::ImageLayout;

const std::string kCli = TRIMWRIGHT_CLI_PATH;
constexpr int kKills = 40;

TEST(KillTest, ImageIsAlwaysOldOrCompletelyTuned) {
  TempDir dir;
  // A long drive, so that a run lasts long enough to be killed at every stage.
  const CalibrationImage original = tools::MakeSampleImage();
  std::vector<tools::UniRecord> records;
  for (const tools::LogSample& s : tools::SimulateDrive(original, 7, 400000)) {
    records.push_back(tools::UniRecord::From(s));
  }
  const std::string log = dir.File("long.uni");
  tools::WriteFile(log, tools::UniLog(records));
  const std::string originalBytes = original.Bytes(ImageLayout::kBin);
  const std::string image = dir.File("car.bin");
  const std::string history = image + ".history";
  const std::string savedHistory = dir.File("saved.history");

  // A first pass, completed, is in the history before each killed one.
  tools::WriteFile(image, originalBytes);
  ASSERT_EQ(ExitStatusOf(Spawn({kCli, "--rpm-limit", "7000", log, image}, -1, -1)), 0);
  const std::string before = tools::ReadFile(image);
  std::filesystem::rename(history, savedHistory);
  const auto restore = [&] {
    tools::WriteFile(image, before);
    std::filesystem::remove_all(history);
    std::filesystem::copy(savedHistory, history, std::filesystem::copy_options::recursive);
  };
  // Keeping one entry, each pass also trims the history as it ends.
  const std::vector<std::string> argv{
      kCli, "--target-blm", "118", "--rpm-limit", "7000", "--keep-history", "1", log, image};

  restore();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(ExitStatusOf(Spawn(argv, -1, -1)), 0);
  const auto whole = std::chrono::steady_clock::now() - start;
  const std::string after = tools::ReadFile(image);
  ASSERT_NE(after, before);

  std::mt19937 random(20261208);
  std::uniform_int_distribution<long> moment(
      0, std::chrono::duration_cast<std::chrono::microseconds>(whole).count() * 11 / 10);
  int untouched = 0;
  int tuned = 0;
  for (int k = 0; k < kKills; ++k) {
    restore();
    const pid_t child = Spawn(argv, -1, -1);
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    kill(child, SIGKILL);
    ExitStatusOf(child);
    const std::string now = tools::ReadFile(image);
    ASSERT_TRUE(now == before || now == after) << "half-written image after kill " << k;
    (now == before ? untouched : tuned) += 1;
    const CalibrationImage state = CalibrationImage::FromBytes(now, ImageLayout::kBin);
    ASSERT_EQ(state.StoredChecksum(), state.ComputedChecksum());

    // No kill leaves an entry damaged, whatever it cut short.
    const testing::ProcessResult listing = testing::RunProcess({kCli, "--history", image});
    ASSERT_EQ(listing.out.find("damaged"), std::string::npos) << "kill " << k << listing.out;

    // The undo takes back the killed pass exactly when it reached the image,
    // and otherwise the first pass.
    ASSERT_EQ(ExitStatusOf(Spawn({kCli, "--undo", image}, -1, -1)), 0) << "kill " << k;
    ASSERT_EQ(tools::ReadFile(image), now == before ? originalBytes : before) << "kill " << k;
  }
  RecordProperty("untouched", untouched);
  RecordProperty("tuned", tuned);
  std::printf(
      "kills: %d left the old image, %d the tuned one; a run takes %ld ms\n", untouched, tuned,
      static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(whole).count()));
}

}  // namespace
}  // namespace trimwright
