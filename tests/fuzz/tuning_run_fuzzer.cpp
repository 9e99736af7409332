// Fuzzes a whole tuning pass: the run reads an image, a log and the two
// number fields decoded from the input (see TuningInput) and writes its report
// and the image in a private scratch folder. Besides sanitizer reports and
// exceptions other than TrimwrightError, it checks what the run must
// guarantee about its files:
//   - a run that did not complete leaves the image and the log byte-identical;
//   - a completed run changes no image byte outside the checksum word and the
//     two VE tables, moves the checksum by exactly the change of the byte sum,
//     and leaves a complete report;
//   - a report naming an input is refused, one in a missing folder never
//     completes, and an unknown log type ends the run early (when the image
//     is tuned even if it fails its check);
//   - unless told to tune it anyway, a run never completes on an image whose
//     size or either half's checksum is wrong (worked out here with the
//     image writer, apart from the run's own check);
//   - no descriptor and no lock on the image outlive the run.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/RunWindow.h"
#include "app/TuningRun.h"
#include "common/TrimwrightError.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/TuningInput.h"
#include "tools/DriveSimulator.h"
#include "tools/ImageWriter.h"

namespace trimwright::fuzz {
namespace {

using tools::CalibrationImage;

constexpr char kCompletedMessage[] = "Processing complete";
constexpr char kReportFirstLine[] = "Cell\t Old VE\t Adj. Factor\t New VE\n";
constexpr char kReportStatistics[] = " ******** Fuel trim table statistics ********";

// The window's operations: a count of completion messages and a check of
// the progress positions.
class FuzzWindow : public RunWindow {
 public:
  void ShowMessage(const std::string& text) override {
    if (text == kCompletedMessage) ++completions;
  }
  void SetProgress(int position) override {
    TRIMWRIGHT_FUZZ_CHECK(position >= 0 && position <= 100);
  }
  void RepaintProgress() override {}

  int completions = 0;
};

enum class Ending { kCompleted, kEndedEarly, kThrew };

// The base image every synthetic input starts from, in both layouts: the
// sample calibration, whose VE tables are off from the simulated engine, so
// runs over the seed logs really change bytes.
const std::string& BaseImage(tools::ImageLayout layout) {
  static const CalibrationImage image = tools::MakeSampleImage();
  static const std::string bin = image.Bytes(tools::ImageLayout::kBin);
  static const std::string lt1 = image.Bytes(tools::ImageLayout::kLt1);
  return layout == tools::ImageLayout::kBin ? bin : lt1;
}

// A stretch of image bytes [begin, begin + length).
struct Stretch {
  std::size_t begin;
  std::size_t length;
};

// The three stretches a run may change, in ascending order in both layouts:
// the checksum word, the main VE table and the extended VE table.
std::vector<Stretch> TunedStretches(tools::ImageLayout layout) {
  auto at = [layout](std::size_t binOffset) { return CalibrationImage::Offset(binOffset, layout); };
  constexpr std::size_t kRowBytes = CalibrationImage::kColumns;
  return {{at(CalibrationImage::kChecksum), 2},
          {at(CalibrationImage::kMainVe), CalibrationImage::kMainRows * kRowBytes},
          {at(CalibrationImage::kExtendedVe), CalibrationImage::kExtendedRows * kRowBytes}};
}

// True when a and b hold the same bytes in [from, to), cut to their size.
bool SameBytes(const std::string& a, const std::string& b, std::size_t from, std::size_t to) {
  to = std::min(to, a.size());
  return from >= to || a.compare(from, to - from, b, from, to - from) == 0;
}

unsigned ByteSum(const std::string& image, const Stretch& stretch) {
  unsigned sum = 0;
  const std::size_t end = std::min(stretch.begin + stretch.length, image.size());
  for (std::size_t k = stretch.begin; k < end; ++k) sum += static_cast<std::uint8_t>(image[k]);
  return sum;
}

std::uint16_t StoredChecksum(const std::string& image, std::size_t offset) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(image[offset]) << 8 |
                                    static_cast<std::uint8_t>(image[offset + 1]));
}

// A completed run changes no byte outside the three stretches, and the stored
// checksum moves by exactly the change of the byte sum, so a checksum that
// agreed with the image before still agrees after.
void CheckCompletedImage(const std::string& before, const std::string& after,
                         tools::ImageLayout layout) {
  TRIMWRIGHT_FUZZ_CHECK(after.size() == before.size());
  const std::vector<Stretch> tuned = TunedStretches(layout);
  std::size_t from = 0;
  for (const Stretch& stretch : tuned) {
    TRIMWRIGHT_FUZZ_CHECK(SameBytes(before, after, from, stretch.begin));
    from = stretch.begin + stretch.length;
  }
  TRIMWRIGHT_FUZZ_CHECK(SameBytes(before, after, from, before.size()));

  const std::size_t checksum = tuned[0].begin;
  TRIMWRIGHT_FUZZ_CHECK(checksum + 2 <= before.size());
  const unsigned sumChange = ByteSum(after, tuned[1]) + ByteSum(after, tuned[2]) -
                             ByteSum(before, tuned[1]) - ByteSum(before, tuned[2]);
  TRIMWRIGHT_FUZZ_CHECK(static_cast<std::uint16_t>(StoredChecksum(after, checksum) -
                                                   StoredChecksum(before, checksum)) ==
                        static_cast<std::uint16_t>(sumChange));
}

// 131072 bytes, and each half's stored checksum the sum of its bytes.
bool HalvesHold(const std::string& image, tools::ImageLayout layout) {
  if (image.size() != CalibrationImage::kSize) return false;
  const CalibrationImage parsed = CalibrationImage::FromBytes(image, layout);
  for (const int half : {CalibrationImage::kBoundaryHalf, CalibrationImage::kVeHalf}) {
    if (parsed.StoredChecksum(half) != parsed.ComputedChecksum(half)) return false;
  }
  return true;
}

}  // namespace
}  // namespace trimwright::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  trimwright::fuzz::ScratchFolder();
  trimwright::fuzz::BaseImage(trimwright::tools::ImageLayout::kBin);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace trimwright;
  using namespace trimwright::fuzz;

  const TuningInput input = TuningInput::Decode(data, size);
  EmptyScratchFolder();
  const std::string logPath = ScratchFile(input.LogFileName());
  const std::string imagePath = ScratchFile("car." + input.ImageExtension());
  std::string reportPath = ScratchFile("report.txt");
  if (input.reportPlace == ReportPlace::kOnImage) reportPath = imagePath;
  if (input.reportPlace == ReportPlace::kOnLog) reportPath = logPath;
  if (input.reportPlace == ReportPlace::kMissingFolder) reportPath = ScratchFile("gone/report.txt");

  const std::string image = input.ImageBytes(BaseImage(input.Layout()));
  WriteBytes(logPath, input.logBytes);
  WriteBytes(imagePath, image);
  const int descriptors = OpenDescriptorCount();

  FuzzWindow window;
  Ending ending = Ending::kThrew;
  {
    SilencedStreams silenced;
    try {
      RunRequest request =
          RunRequest::ForOneLog(logPath, imagePath, reportPath, input.targetText, input.rpmText);
      request.ignoreChecksum = input.ignoreChecksum;
      const RunOutcome outcome = TuningRun(window).Perform(request).outcome;
      ending = outcome == RunOutcome::kCompleted ? Ending::kCompleted : Ending::kEndedEarly;
    } catch (const TrimwrightError&) {
      ending = Ending::kThrew;
    } catch (const std::exception& e) {
      Fail(std::string("exception other than TrimwrightError escaped: ") + e.what(), __FILE__,
           __LINE__);
    } catch (...) {
      Fail("exception of unknown type escaped", __FILE__, __LINE__);
    }
  }

  if (Verbose()) {
    static const char* const kEndings[] = {"completed", "ended early", "threw TrimwrightError"};
    std::fprintf(stderr, "run %s\n", kEndings[static_cast<int>(ending)]);
  }
  TRIMWRIGHT_FUZZ_CHECK(OpenDescriptorCount() == descriptors);
  TRIMWRIGHT_FUZZ_CHECK(IsUnlocked(imagePath));
  TRIMWRIGHT_FUZZ_CHECK(window.completions == (ending == Ending::kCompleted ? 1 : 0));
  TRIMWRIGHT_FUZZ_CHECK(ReadBytes(logPath) == input.logBytes);

  const std::optional<std::string> after = ReadBytes(imagePath);
  TRIMWRIGHT_FUZZ_CHECK(after.has_value());
  if (ending == Ending::kCompleted) {
    CheckCompletedImage(image, *after, input.Layout());
    const std::optional<std::string> report = ReadBytes(reportPath);
    TRIMWRIGHT_FUZZ_CHECK(report.has_value() && report->starts_with(kReportFirstLine) &&
                          report->find(kReportStatistics) != std::string::npos);
  } else {
    TRIMWRIGHT_FUZZ_CHECK(*after == image);
  }

  switch (input.reportPlace) {
    case ReportPlace::kOnImage:
    case ReportPlace::kOnLog:
      TRIMWRIGHT_FUZZ_CHECK(ending == Ending::kThrew);
      return 0;
    case ReportPlace::kMissingFolder:
      TRIMWRIGHT_FUZZ_CHECK(ending != Ending::kCompleted);
      break;
    case ReportPlace::kBeside:
      break;
  }
  if (!input.ignoreChecksum && !HalvesHold(image, input.Layout())) {
    TRIMWRIGHT_FUZZ_CHECK(ending != Ending::kCompleted);
  }
  if (!input.HasKnownLogType() && input.ignoreChecksum) {
    TRIMWRIGHT_FUZZ_CHECK(ending == Ending::kEndedEarly);
  }
  return 0;
}
