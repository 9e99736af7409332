#include "app/BaselineReader.h"

#include <memory>
#include <vector>

#include "app/FileFormats.h"
#include "app/HistorySnapshot.h"
#include "app/PassHistory.h"
#include "app/PathRules.h"
#include "calibration/ImageCheck.h"
#include "calibration/ImageFile.h"
#include "common/Sha256.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

constexpr char kNothingWritten[] = "; no log was read and nothing was written";

// The baseline the tuner named, read under a shared lock.
std::string ReadNamedBaseline(const std::string& imagePath, const std::string& baselineFile,
                              bool ignoreChecksum) {
  const ImageFormat* format = FindImageFormat(baselineFile);
  const ImageFormat* imageFormat = FindImageFormat(imagePath);
  if (!format) {
    throw InvalidRequestError("The baseline " + baselineFile +
                              " is not a calibration image (a .bin or .lt1 file)" +
                              kNothingWritten);
  }
  if (imageFormat && format->kind != imageFormat->kind) {
    throw InvalidRequestError("The baseline " + baselineFile + " is a ." + format->lower +
                              " image and " + imagePath + " a ." + imageFormat->lower +
                              " image; the baseline must have the image's layout" +
                              kNothingWritten);
  }
  std::string bytes;
  try {
    bytes = ImageFile::OpenLocked(baselineFile, true)->ReadAll();
  } catch (const TrimwrightError& error) {
    throw TrimwrightError(std::string(error.what()) + ", the baseline of the total limit" +
                          kNothingWritten);
  }
  const ImageCheck check(bytes, static_cast<std::int64_t>(bytes.size()),
                         *FindImageLayout(baselineFile));
  if (!check.Sound() && !ignoreChecksum) {
    std::string problems;
    for (const std::string& problem : check.problems()) {
      problems += (problems.empty() ? "" : "; ") + problem;
    }
    throw TrimwrightError("The baseline " + baselineFile +
                          " is not a sound calibration: " + problems + kNothingWritten);
  }
  return bytes;
}

// A history that keeps no baseline (written before baselines were kept, or
// holding no pass yet): the image its oldest entry saved, or the image itself.
void FromOldestEntry(const PassHistory& history, const std::string& imagePath,
                     const std::string& image, std::string& bytes, Baseline& baseline) {
  const HistorySnapshot snapshot(history, image);
  const HistoryEntry* oldest = snapshot.Oldest();
  if (!oldest) {
    bytes = image;
    baseline.source = imagePath + " itself (its history holds no pass yet)";
    return;
  }
  if (!oldest->damage.empty()) {
    throw TrimwrightError("The oldest entry #" + std::to_string(oldest->sequence) +
                          " of the history of " + imagePath +
                          ", the baseline of the total "
                          "limit, is damaged (" +
                          oldest->damage + "); name the baseline with --baseline" +
                          kNothingWritten);
  }
  bytes = history.SavedImage(*oldest);
  baseline.source = "the image before entry #" + std::to_string(oldest->sequence) +
                    " of its history (" + oldest->time + " UTC)";
}

}  // namespace

Baseline ReadBaseline(const std::string& imagePath, const std::string& image,
                      const std::string& baselineFile, bool ignoreChecksum) {
  Baseline baseline;
  std::string bytes;
  if (!baselineFile.empty() && SameFile(baselineFile, imagePath)) {
    // The image's own lock keeps a second opening of it out.
    bytes = image;
    baseline.source = baselineFile;
  } else if (!baselineFile.empty()) {
    bytes = ReadNamedBaseline(imagePath, baselineFile, ignoreChecksum);
    baseline.source = baselineFile;
  } else {
    const PassHistory history(imagePath);
    std::optional<BaselineRecord> kept;
    try {
      kept = history.KeptBaseline();
      if (kept) bytes = history.KeptBaselineImage(*kept);
    } catch (const TrimwrightError& error) {
      throw TrimwrightError(std::string(error.what()) +
                            "; name the baseline of the total limit with --baseline" +
                            kNothingWritten);
    }
    if (kept) {
      baseline.source = kept->Describe();
    } else {
      FromOldestEntry(history, imagePath, image, bytes, baseline);
    }
  }
  if (bytes.size() != image.size()) {
    throw TrimwrightError("The baseline " + baseline.source + " is " +
                          std::to_string(bytes.size()) + " bytes long and the image " + imagePath +
                          " " + std::to_string(image.size()) +
                          "; the baseline must be an image of the same size" + kNothingWritten);
  }
  baseline.bytes = std::make_shared<const std::string>(std::move(bytes));
  return baseline;
}

}  // namespace trimwright
