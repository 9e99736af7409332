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

std::shared_ptr<ImageFile> ImageFile::OpenLocked(const std::string& path, bool readOnly) {
  auto image = std::make_shared<ImageFile>();
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
  WriteBytes(plan.regionOffset, plan.newRegion.data(), plan.newRegion.size());
}

void ImageFile::WriteBytes(std::int64_t offset, const char* bytes, std::size_t size) {
  if (!file_.WriteAt(offset, bytes, size) || !file_.Sync()) {
    throw TrimwrightError("Unable to write file " + path_);
  }
}

}  // namespace trimwright
