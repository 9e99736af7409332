// simulate_drive: makes the sample data and looks at results.
//   image PREFIX                 the sample calibration as PREFIX.bin and PREFIX.lt1
//   drive --image IMAGE PREFIX   a simulated drive over IMAGE as PREFIX.uni/.csv/.txt
//   long --image IMAGE --records N PREFIX
//                                many drives one after another as one long log in the
//                                three formats, written as it goes (for benchmarks)
//   trims LOG                    how far the logged warm part-throttle BLMs sit from a target
//   compare OLD NEW              what a tuning pass changed in an image
//   converge --passes N          passes over a noisy engine with transients, without
//                                limits and with a careful tuner's, and how far the
//                                trims sit from the target after each
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/FileFormats.h"
#include "app/TuningRun.h"
#include "tools/ConvergenceLoop.h"
#include "tools/DriveSimulator.h"
#include "tools/ScratchDir.h"

namespace {

using namespace trimwright;
using namespace trimwright::tools;
using tools::ImageLayout;

ImageLayout LayoutOf(const std::string& path) {
  const ImageFormat* format = FindImageFormat(path);
  if (!format) throw std::runtime_error("not an image: " + path);
  return format->kind == ImageKind::kLT1Edit ? ImageLayout::kLt1 : ImageLayout::kBin;
}

// Silences standard output while it lives: the readers' diagnostics are not
// this tool's output.
class QuietStandardOutput {
 public:
  QuietStandardOutput() : saved_(std::cout.rdbuf(discard_.rdbuf())) {}
  ~QuietStandardOutput() { std::cout.rdbuf(saved_); }
  QuietStandardOutput(const QuietStandardOutput&) = delete;
  QuietStandardOutput& operator=(const QuietStandardOutput&) = delete;

 private:
  std::ostringstream discard_;
  std::streambuf* saved_;
};

TrimSummary SummarizeLog(const std::string& path, int target) {
  QuietStandardOutput quiet;
  const std::unique_ptr<LoggedData> log = CreateLogReader(path);
  if (!log) throw std::runtime_error("not a log: " + path);
  return SummarizeTrims(*log, target);
}

void WriteDrive(const std::string& imagePath, const std::string& prefix, std::uint32_t seed,
                int records) {
  const CalibrationImage image =
      CalibrationImage::FromBytes(ReadFile(imagePath), LayoutOf(imagePath));
  const std::vector<LogSample> drive = SimulateDrive(image, seed, records);
  std::vector<UniRecord> uni;
  std::vector<FreescanRecord> csv;
  std::vector<PCMcommRecord> txt;
  for (const LogSample& s : drive) {
    uni.push_back(UniRecord::From(s));
    csv.push_back(FreescanRecord::From(s));
    txt.push_back(PCMcommRecord::From(s));
  }
  WriteFile(prefix + ".uni", UniLog(uni));
  WriteFile(prefix + ".csv", FreescanLog(csv));
  WriteFile(prefix + ".txt", PCMcommLog(txt));
}

// A tuner's long log: drives of driveRecords samples each with seeds seed,
// seed + 1, ... logged one after another until `records` samples are written.
// Each record goes to the files as it is made, so the length is bounded only
// by the disk.
void WriteLongLog(const std::string& imagePath, const std::string& prefix, std::uint32_t seed,
                  std::uint64_t records, int driveRecords) {
  const CalibrationImage image =
      CalibrationImage::FromBytes(ReadFile(imagePath), LayoutOf(imagePath));
  BufferedFile uni(prefix + ".uni");
  BufferedFile csv(prefix + ".csv");
  BufferedFile txt(prefix + ".txt");
  uni.Write(UniHeaderRecord());
  csv.WriteLine(FreescanHeader());
  for (const std::string& line : PCMcommHeader()) txt.WriteLine(line);
  std::uint64_t index = 0;
  for (std::uint32_t drive = seed; index < records; ++drive) {
    const auto length = static_cast<int>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(driveRecords), records - index));
    for (const LogSample& s : SimulateDrive(image, drive, length)) {
      uni.Write(UniRecordBytes(UniRecord::From(s), index++));
      csv.WriteLine(FreescanLine(FreescanRecord::From(s)));
      txt.WriteLine(PCMcommLine(PCMcommRecord::From(s)));
    }
  }
  uni.Close();
  csv.Close();
  txt.Close();
}

void PrintTrims(const std::string& logPath, int target) {
  const TrimSummary summary = SummarizeLog(logPath, target);
  std::printf("%s: %d warm part-throttle records, mean BLM %.1f, %.1f counts from target %d\n",
              logPath.c_str(), summary.records, summary.meanBlm, summary.meanDistance, target);
}

void Compare(const std::string& oldPath, const std::string& newPath) {
  const CalibrationImage before = CalibrationImage::FromBytes(ReadFile(oldPath), LayoutOf(oldPath));
  const CalibrationImage after = CalibrationImage::FromBytes(ReadFile(newPath), LayoutOf(newPath));
  int changed = 0;
  int cells = 0;
  double largestRise = 0.0;
  double largestFall = 0.0;
  std::string riseAt = "-";
  std::string fallAt = "-";
  auto visit = [&](std::uint8_t was, std::uint8_t is, int gridRow, int column) {
    ++cells;
    if (was == is) return;
    ++changed;
    if (was == 0) return;  // no relative change to speak of
    const double percent = 100.0 * (is - was) / was;
    char at[48];
    std::snprintf(at, sizeof at, "[%d rpm][%d kPa]", GridRowRpm(gridRow), GridColumnKpa(column));
    if (percent > largestRise) largestRise = percent, riseAt = at;
    if (percent < largestFall) largestFall = percent, fallAt = at;
  };
  for (int column = 0; column < CalibrationImage::kColumns; ++column) {
    for (int row = 0; row < CalibrationImage::kMainRows; ++row) {
      visit(before.MainVe(row, column), after.MainVe(row, column), row, column);
    }
    for (int row = 0; row < CalibrationImage::kExtendedRows; ++row) {
      visit(before.ExtendedVe(row, column), after.ExtendedVe(row, column), row + 8, column);
    }
  }
  std::printf("VE cells changed: %d of %d\n", changed, cells);
  std::printf("largest rise: %+.1f%% at %s\n", largestRise, riseAt.c_str());
  std::printf("largest fall: %+.1f%% at %s\n", largestFall, fallAt.c_str());
  std::printf("checksum: 0x%04X -> 0x%04X (%s with the bytes)\n", before.StoredChecksum(),
              after.StoredChecksum(),
              after.StoredChecksum() == after.ComputedChecksum() ? "consistent" : "INCONSISTENT");
  const std::string a = before.Bytes(ImageLayout::kBin);
  const std::string b = after.Bytes(ImageLayout::kBin);
  int outside = 0;
  for (std::size_t k = 0; k < a.size(); ++k) {
    const bool tunable = (k >= CalibrationImage::kMainVe && k < 0x12D9A) ||
                         k == CalibrationImage::kChecksum || k == CalibrationImage::kChecksum + 1;
    if (!tunable && a[k] != b[k]) ++outside;
  }
  std::printf("bytes changed outside the VE tables and the checksum: %d\n", outside);
}

// Both loops side by side, one line per pass, then the passes each needs to
// come within one count of the target.
void PrintConvergence(int passes) {
  ConvergenceSettings settings;
  settings.passes = passes;
  settings.roughness = NoisyEngine();
  const tools::ScratchDir folder;
  const std::vector<PassDistance> open = RunConvergenceLoop(settings, folder.path());
  settings.limits = CarefulLimits();
  const std::vector<PassDistance> careful = RunConvergenceLoop(settings, folder.path());
  std::printf("careful limits: %s\n", LimitOptions(settings.limits).c_str());
  std::printf("distance and error of the trim cells, distance of single records (counts)\n");
  std::printf("pass  no limits: cells  error  records   careful: cells  error  records\n");
  for (std::size_t k = 0; k < open.size(); ++k) {
    std::printf("%4d  %16.2f  %+5.2f  %7.2f  %14.2f  %+5.2f  %7.2f\n", open[k].pass,
                open[k].meanDistance, open[k].meanError, open[k].recordDistance,
                careful[k].meanDistance, careful[k].meanError, careful[k].recordDistance);
  }
  std::printf("passes to within 1 count: no limits %d, careful limits %d (-1: not in %d)\n",
              PassesToWithin(open, 1.0), PassesToWithin(careful, 1.0), passes);

  // The ways of reading a drive, under the careful limits, on the engine as it
  // is and on one whose block learn restarts at each flash: the trims'
  // distance and the VE error the simulator knows.
  for (const bool lagging : {false, true}) {
    settings.roughness = lagging ? LaggingTrimsEngine() : NoisyEngine();
    std::printf(
        "\nways of reading a drive, careful limits%s: trim cells' distance (counts), VE "
        "error mean/worst (%%)\npass",
        lagging ? ", block learn restarting at each flash" : "");
    std::vector<std::vector<PassDistance>> ways;
    for (const ReadingWay& way : kReadingWays) {
      settings.limits = LimitsOf(way, CarefulLimits());
      ways.push_back(RunConvergenceLoop(settings, folder.path()));
      std::printf("  %22s", way.name);
    }
    std::printf("\n");
    for (std::size_t k = 0; k < open.size(); ++k) {
      std::printf("%4d", open[k].pass);
      for (const std::vector<PassDistance>& way : ways) {
        std::printf("  %6.2f  %5.2f / %5.2f", way[k].meanDistance, way[k].veErrorMean,
                    way[k].veErrorWorst);
      }
      std::printf("\n");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Makes the simulated sample data of Trimwright and looks at results.",
               "simulate_drive"};
  app.require_subcommand(1);

  std::string prefix;
  CLI::App* image = app.add_subcommand("image", "write the sample image as PREFIX.bin and .lt1");
  image->add_option("PREFIX", prefix, "path without extension")->required();

  std::string imagePath;
  std::uint32_t seed = 1;
  int records = 420;
  CLI::App* drive = app.add_subcommand("drive", "write a simulated drive over an image");
  drive->add_option("--image", imagePath, "calibration image the engine runs on")->required();
  drive->add_option("--seed", seed, "noise seed")->capture_default_str();
  drive->add_option("--records", records, "number of logged samples")->capture_default_str();
  drive->add_option("PREFIX", prefix, "path without extension")->required();

  std::uint64_t longRecords = 1000000;
  int driveRecords = 10000;
  CLI::App* longLog =
      app.add_subcommand("long", "write many simulated drives over an image as one long log");
  longLog->add_option("--image", imagePath, "calibration image the engine runs on")->required();
  longLog->add_option("--seed", seed, "seed of the first drive; the next ones count up")
      ->capture_default_str();
  longLog->add_option("--records", longRecords, "number of logged samples in all")
      ->capture_default_str();
  longLog->add_option("--drive-records", driveRecords, "samples per drive")
      ->check(CLI::Range(1, 100000000))
      ->capture_default_str();
  longLog->add_option("PREFIX", prefix, "path without extension")->required();

  std::string logPath;
  int target = 124;
  CLI::App* trims = app.add_subcommand("trims", "summarise the warm part-throttle BLMs of a log");
  trims->add_option("--target", target, "target BLM")->capture_default_str();
  trims->add_option("LOG", logPath, "log file")->required();

  std::string oldPath;
  std::string newPath;
  CLI::App* compare = app.add_subcommand("compare", "what a tuning pass changed in an image");
  compare->add_option("OLD", oldPath, "image before")->required();
  compare->add_option("NEW", newPath, "image after")->required();

  int passes = 10;
  CLI::App* converge = app.add_subcommand(
      "converge", "tune a noisy engine pass after pass, with and without limits");
  converge->add_option("--passes", passes, "passes of each loop")
      ->check(CLI::Range(1, 100))
      ->capture_default_str();

  CLI11_PARSE(app, argc, argv);
  try {
    if (*image) {
      const CalibrationImage sample = MakeSampleImage();
      WriteFile(prefix + ".bin", sample.Bytes(tools::ImageLayout::kBin));
      WriteFile(prefix + ".lt1", sample.Bytes(tools::ImageLayout::kLt1));
    } else if (*drive) {
      WriteDrive(imagePath, prefix, seed, records);
    } else if (*longLog) {
      WriteLongLog(imagePath, prefix, seed, longRecords, driveRecords);
    } else if (*trims) {
      PrintTrims(logPath, target);
    } else if (*compare) {
      Compare(oldPath, newPath);
    } else if (*converge) {
      PrintConvergence(passes);
    }
  } catch (const std::exception& e) {
    std::cerr << "simulate_drive: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
