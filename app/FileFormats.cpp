#include "app/FileFormats.h"

#include <array>

#include "app/PathRules.h"
#include "calibration/LT1edit.h"
#include "calibration/Tunercat.h"
#include "logdata/DMUni.h"
#include "logdata/Freescan.h"
#include "logdata/PCMcomm.h"
#include "logdata/ReadPlan.h"

namespace trimwright {

namespace {

constexpr std::array<LogFormat, 3> kLogFormats{{
    {LogKind::kDatamaster, "uni", "UNI", "Datamaster"},
    {LogKind::kFreescan, "csv", "CSV", "Freescan"},
    {LogKind::kPCMComm, "txt", "TXT", "PCMComm"},
}};

constexpr std::array<ImageFormat, 2> kImageFormats{{
    {ImageKind::kTunercat, "bin", "BIN", "Tunercat"},
    {ImageKind::kLT1Edit, "lt1", "LT1", "LT1Edit"},
}};

template <typename Format, std::size_t N>
const Format* Find(const std::array<Format, N>& formats, const std::string& path) {
  const std::string extension = FileExtension(path);
  for (const Format& format : formats) {
    if (extension == format.lower || extension == format.upper) return &format;
  }
  return nullptr;
}

}  // namespace

std::span<const LogFormat> LogFormats() { return kLogFormats; }
std::span<const ImageFormat> ImageFormats() { return kImageFormats; }

const LogFormat* FindLogFormat(const std::string& path) { return Find(kLogFormats, path); }
const ImageFormat* FindImageFormat(const std::string& path) { return Find(kImageFormats, path); }

const ImageLayout* FindImageLayout(const std::string& path) {
  const ImageFormat* format = FindImageFormat(path);
  if (!format) return nullptr;
  switch (format->kind) {
    case ImageKind::kTunercat:
      return &Tunercat::kLayout;
    case ImageKind::kLT1Edit:
      return &LT1edit::kLayout;
  }
  return nullptr;
}

std::unique_ptr<LoggedData> CreateLogReader(const std::string& logPath, Diagnostics& diagnostics) {
  const LogFormat* format = FindLogFormat(logPath);
  if (!format) return nullptr;
  const ReadPlan plan = ReadPlan::ForThisMachine();
  switch (format->kind) {
    case LogKind::kDatamaster:
      return std::make_unique<DMUni>(logPath, plan, diagnostics);
    case LogKind::kFreescan:
      return std::make_unique<Freescan>(logPath, plan, diagnostics);
    case LogKind::kPCMComm:
      return std::make_unique<PCMcomm>(logPath, plan, diagnostics);
  }
  return nullptr;
}

std::unique_ptr<PCM> CreateCalibration(const std::string& pcmPath, std::int32_t rpmLimit,
                                       ImageAccess access, Diagnostics& diagnostics) {
  const ImageFormat* format = FindImageFormat(pcmPath);
  if (!format) return nullptr;
  switch (format->kind) {
    case ImageKind::kTunercat:
      return std::make_unique<Tunercat>(pcmPath, rpmLimit, std::move(access), diagnostics);
    case ImageKind::kLT1Edit:
      return std::make_unique<LT1edit>(pcmPath, rpmLimit, std::move(access), diagnostics);
  }
  return nullptr;
}

}  // namespace trimwright
