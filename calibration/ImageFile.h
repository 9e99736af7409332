// The calibration image on disk as a run holds it: read-only under a shared
// lock (a dry run, a listing, a check) or read and write under an exclusive
// lock (a pass, an undo), so that no run reads an image another is writing.
// It reads the image whole and replaces a planned region, or any stretch of
// bytes, in one synced write that is taken back when it fails. Owns the open
// file; the lock goes with it. Its writes go through the FileSystem it was
// made with, which must outlive it.
#ifndef TRIMWRIGHT_CALIBRATION_IMAGEFILE_H_
#define TRIMWRIGHT_CALIBRATION_IMAGEFILE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "calibration/PassPlan.h"
#include "common/DiskFile.h"
#include "common/TrimwrightError.h"

namespace trimwright {

// A pass that can no longer be written as it was planned or previewed: its
// log or image changed on disk since.
class StalePreviewError : public TrimwrightError {
 public:
  explicit StalePreviewError(const std::string& message)
      : TrimwrightError(message, ExitStatus::kEndedEarly) {}
};

// What a write that failed left in the image, told by reading it back after
// the old bytes were written over it again.
enum class WriteLeft {
  kAsBefore,   // the old bytes: the image is as it was
  kAsWritten,  // the new bytes: the write reached the file after all
  kUnknown,    // neither, or the image could not be read
};

// A write of the image that failed; left() says what the image holds now.
class ImageWriteError : public TrimwrightError {
 public:
  ImageWriteError(const std::string& message, WriteLeft left)
      : TrimwrightError(message), left_(left) {}
  WriteLeft left() const { return left_; }

 private:
  WriteLeft left_;
};

class ImageFile {
 public:
  enum class Opening {
    kOpened,
    kCannotOpen,  // missing, a folder, or not to be opened that way
    kLocked,      // another run holds a lock that keeps this one out
  };

  explicit ImageFile(FileSystem& fileSystem = FileSystem::Default()) : file_(fileSystem) {}
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  // Opens and locks path without waiting: shared and read-only, or exclusive
  // for reading and writing.
  Opening Open(const std::string& path, bool readOnly);

  // Open, with a refusal turned into TrimwrightError: "Unable to open file
  // PATH" or "Unable to lock file PATH: another run is tuning this image".
  static std::shared_ptr<ImageFile> OpenLocked(const std::string& path, bool readOnly,
                                               FileSystem& fileSystem = FileSystem::Default());

  // The text of the refusal Open gave.
  static std::string Refusal(Opening opening, const std::string& path);

  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& path() const { return path_; }
  const DiskFile& disk() const { return file_; }
  std::int64_t Size() const { return file_.Size(); }

  // The whole image. Throws TrimwrightError "Unable to read file PATH".
  std::string ReadAll() const;

  // Writes the plan's new region as Replace does, after checking that the
  // region still holds the bytes the plan started from. Throws
  // StalePreviewError, writing nothing, when it does not; TrimwrightError
  // when the image cannot be read, ImageWriteError when it cannot be written.
  void WritePlan(const PassPlan& plan);

  // Writes newBytes at offset in one write and syncs them. When the write or
  // its sync fails, writes oldBytes back, syncs them and reads the stretch
  // back, then throws ImageWriteError ("Unable to write file PATH") saying
  // what the image holds.
  // REQUIRES: the stretch holds oldBytes, of the length of newBytes.
  void Replace(std::int64_t offset, const std::string& oldBytes, const std::string& newBytes);

 private:
  DiskFile file_;
  std::string path_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_IMAGEFILE_H_
