// pass_stages: times the stages of a tuning pass over one log in this process,
// with the code a pass runs, so that a slow pass can be taken apart.
//   pass_stages [--reps N] LOGFILE IMAGE
// Prints one line per stage, "stage<TAB>milliseconds" (the median of N runs):
//   count    the counting pass over a text log (0 for a .uni log, whose size
//            gives its count)
//   read     reading the whole log as the reader does, the counting pass
//            included, without decoding a field: every line of a text log
//            handed to a decoder that takes nothing, every block of a .uni log
//            read into its buffer
//   reader   the reader itself: counting, allocating, decoding and storing
//   walk     the calibration's walk over the records read (AddLog)
//   plan     planning the pass from the filled cells (PlanVETable)
// reader - read is what decoding and storing the fields cost. The image is
// opened read-only and never written.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/FileFormats.h"
#include "app/TuningRun.h"
#include "common/Diagnostics.h"
#include "common/DiskFile.h"
#include "common/ParallelParts.h"
#include "common/TrimwrightError.h"
#include "logdata/DMUni.h"
#include "logdata/ReadPlan.h"
#include "logdata/TextLogFile.h"
#include "tools/Median.h"

namespace {

using namespace trimwright;
using tools::Median;

double ElapsedMs(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::milli>(end - start).count();
}

double MedianMs(int reps, const std::function<void()>& run) {
  std::vector<double> samples;
  for (int k = 0; k < reps; ++k) samples.push_back(ElapsedMs(run));
  return Median(samples);
}

// Every block of a .uni log read into a buffer of the reader's size, in the
// reader's parts; returns the bytes read.
std::int64_t ReadUniBlocks(const std::string& path, const ReadPlan& plan) {
  DiskFile file;
  if (!file.OpenForReading(path)) throw TrimwrightError("Unable to open " + path);
  const std::int64_t size = std::max<std::int64_t>(file.Size(), 0);
  const unsigned parts = plan.PartsFor(size);
  const std::size_t blockBytes =
      std::max<std::size_t>(plan.blockBytes / DMUni::kRecordSize, 1) * DMUni::kRecordSize;
  std::vector<std::int64_t> got(parts, 0);
  RunParts(parts, [&](std::size_t p) {
    std::vector<unsigned char> buffer(blockBytes);
    const std::int64_t first = size * static_cast<std::int64_t>(p) / parts;
    const std::int64_t last = size * static_cast<std::int64_t>(p + 1) / parts;
    for (std::int64_t offset = first; offset < last;) {
      const auto want = static_cast<std::size_t>(
          std::min<std::int64_t>(last - offset, static_cast<std::int64_t>(blockBytes)));
      const std::int64_t read = file.ReadUpTo(offset, buffer.data(), want);
      if (read <= 0) break;
      got[p] += read;
      offset += read;
    }
  });
  std::int64_t total = 0;
  for (const std::int64_t bytes : got) total += bytes;
  return total;
}

std::unique_ptr<PCM> OpenImage(const std::string& path, Diagnostics& quiet) {
  std::unique_ptr<PCM> image = CreateCalibration(path, 3000, ImageAccess{true, {}}, quiet);
  if (!image) throw TrimwrightError("Not an image file: " + path);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Times the stages of a tuning pass over one log.");
  int reps = 5;
  std::string logPath;
  std::string imagePath;
  app.add_option("--reps", reps, "runs of every stage")->check(CLI::PositiveNumber);
  app.add_option("LOGFILE", logPath)->required();
  app.add_option("IMAGE", imagePath)->required();
  CLI11_PARSE(app, argc, argv);

  std::ostringstream discard;
  Diagnostics quiet(discard, discard);
  const ReadPlan plan = ReadPlan::ForThisMachine();
  try {
    const LogFormat* format = FindLogFormat(logPath);
    if (!format) throw TrimwrightError("Not a log file: " + logPath);
    const bool uni = format->kind == LogKind::kDatamaster;

    double count = 0.0;
    double read = 0.0;
    if (uni) {
      read = MedianMs(reps, [&] { ReadUniBlocks(logPath, plan); });
    } else {
      count = MedianMs(reps, [&] {
        TextLogFile file(logPath, "", plan, quiet);
        file.CountLineReads();
      });
      read = MedianMs(reps, [&] {
        TextLogFile file(logPath, "", plan, quiet);
        const std::int64_t lines = file.CountLineReads() - 1;
        const auto records = static_cast<std::uint32_t>(
            std::clamp<std::int64_t>(lines, 0, std::numeric_limits<std::uint32_t>::max()));
        file.DecodeRecords(
            0, records, [](std::uint32_t, std::string_view) { return false; },
            [](std::string_view) { return Rejection::kUnreadable; });
      });
    }
    const double reader = MedianMs(reps, [&] { CreateLogReader(logPath, quiet); });

    const std::unique_ptr<LoggedData> log = CreateLogReader(logPath, quiet);
    // A fresh calibration for every run: the walk adds to the cells it fills.
    std::vector<double> walks;
    std::vector<double> plans;
    for (int k = 0; k < reps; ++k) {
      const std::unique_ptr<PCM> pcm = OpenImage(imagePath, quiet);
      pcm->BeginOptimize();
      walks.push_back(ElapsedMs([&] { pcm->AddLog(*log, PassLimits{}); }));
      plans.push_back(ElapsedMs([&] { pcm->PlanVETable(124, PassLimits{}); }));
    }

    std::printf("count\t%.3f\nread\t%.3f\nreader\t%.3f\nwalk\t%.3f\nplan\t%.3f\n", count, read,
                reader, Median(walks), Median(plans));
    return 0;
  } catch (const TrimwrightError& e) {
    std::fprintf(stderr, "pass_stages: %s\n", e.what());
    return 1;
  }
}
