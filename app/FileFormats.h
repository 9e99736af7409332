// The kinds of file Trimwright reads, in one place: three log formats and two
// image formats, each with the two spellings of its extension (all lower or
// all upper case, matched exactly), the name its chooser filter shows, and
// the object that reads it. The run, the window and the tools all ask here.
#ifndef TRIMWRIGHT_APP_FILEFORMATS_H_
#define TRIMWRIGHT_APP_FILEFORMATS_H_

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "calibration/LT1_obd1.h"
#include "calibration/PCM.h"
#include "common/Diagnostics.h"
#include "logdata/LoggedData.h"

namespace trimwright {

enum class LogKind { kDatamaster, kFreescan, kPCMComm };
enum class ImageKind { kTunercat, kLT1Edit };

struct LogFormat {
  LogKind kind;
  const char* lower;  // "uni"
  const char* upper;  // "UNI"
  const char* tool;   // "Datamaster", as the chooser's filter names it
};

struct ImageFormat {
  ImageKind kind;
  const char* lower;
  const char* upper;
  const char* tool;
};

// In the order their extensions are tried.
std::span<const LogFormat> LogFormats();
std::span<const ImageFormat> ImageFormats();

// The format the extension of path names, or nullptr for any other.
const LogFormat* FindLogFormat(const std::string& path);
const ImageFormat* FindImageFormat(const std::string& path);

// The layout of the image format the extension of path names (where its
// fields lie), or nullptr for any other.
const ImageLayout* FindImageLayout(const std::string& path);

// Reads the log at logPath with the reader its extension names; nullptr for
// any other extension. Throws TrimwrightError as the readers do.
std::unique_ptr<LoggedData> CreateLogReader(const std::string& logPath,
                                            Diagnostics& diagnostics = Diagnostics::Standard());

// Opens the image at pcmPath with the image class its extension names;
// nullptr for any other extension. Throws TrimwrightError as the image
// classes do.
std::unique_ptr<PCM> CreateCalibration(const std::string& pcmPath, std::int32_t rpmLimit,
                                       ImageAccess access,
                                       Diagnostics& diagnostics = Diagnostics::Standard());

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_FILEFORMATS_H_
