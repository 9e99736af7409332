#include "calibration/ImageFile.h"

namespace trimwright {

ImageFile::Opening ImageFile::Open(const std::string& path, bool readOnly) {
  path_ = path;
  if (!(readOnly ? file_.OpenForReading(path) : file_.OpenExisting(path))) {
    return Opening::kCannotOpen;
  }
  if (!(readOnly ? file_.TryLockShared() : file_.TryLockExclusive())) {
    file_.Close();
    return Opening::kLocked;
  }
  return Opening::kOpened;
}

std::string ImageFile::Refusal(Opening opening, const std::string& path) {
  return opening == Opening::kLocked
             ? "Unable to lock file " + path + ": another run is tuning this image"
             : "Unable to open file " + path;
}

std::shared_ptr<ImageFile> ImageFile::OpenLocked(const std::string& path, bool readOnly,
                                                 FileSystem& fileSystem) {
  auto image = std::make_shared<ImageFile>(fileSystem);
  const Opening opening = image->Open(path, readOnly);
  if (opening != Opening::kOpened) throw TrimwrightError(Refusal(opening, path));
  return image;
}

std::string ImageFile::ReadAll() const {
  std::string bytes;
  if (!file_.ReadAll(bytes)) throw TrimwrightError("Unable to read file " + path_);
  return bytes;
}

void ImageFile::WritePlan(const PassPlan& plan) {
  std::string current(plan.oldRegion.size(), '\0');
  if (!file_.ReadAt(plan.regionOffset, current.data(), current.size())) {
    throw TrimwrightError("Unable to read file " + path_);
  }
  if (current != plan.oldRegion) {
    throw StalePreviewError("The calibration image " + path_ +
                            " changed after the pass was planned; nothing was written");
  }
  Replace(plan.regionOffset, plan.oldRegion, plan.newRegion);
}

void ImageFile::Replace(std::int64_t offset, const std::string& oldBytes,
                        const std::string& newBytes) {
  const bool wrote = file_.WriteAt(offset, newBytes.data(), newBytes.size());
  if (wrote && file_.Sync()) return;
  // A failed write or sync may have left any part of the new bytes in the
  // file, or in the cache on their way to it; the old ones go back over them.
  // The image counts as it was when it reads so and either the old bytes
  // were synced again or no new byte was ever written.
  const bool putBack = file_.WriteAt(offset, oldBytes.data(), oldBytes.size()) && file_.Sync();
  std::string now(newBytes.size(), '\0');
  WriteLeft left = WriteLeft::kUnknown;
  if (file_.ReadAt(offset, now.data(), now.size())) {
    if (now == oldBytes && (putBack || !wrote)) left = WriteLeft::kAsBefore;
    if (now == newBytes) left = WriteLeft::kAsWritten;
  }
  throw ImageWriteError("Unable to write file " + path_, left);
}

}  // namespace trimwright
