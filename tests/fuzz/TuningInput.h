// The input of the whole-pass harness, decoded from arbitrary bytes: the file
// types the run sees, where its report goes, the image, the texts of the two
// number fields and the log bytes. The seed generator encodes seeds with the
// same class, so seeds and harness always agree on the format.
//
// Layout, every part optional (missing bytes read as zero or empty):
//   byte 0      choices: bits 0-2 log extension, bits 3-4 image extension,
//               bits 5-6 report place, bit 7 raw image
//   bytes 1-2   image length in units of two bytes, little-endian; 0 keeps
//               the whole image (ignored for a raw image)
//   byte 3      more choices: bit 0 tune the image even when it fails its
//               check, bit 1 seal the image after the overlay (before the cut)
//   byte 4      length of the target BLM text, then the text
//   1 byte      length of the rpm limit text, then the text
//   2 bytes     length of the image section, little-endian, then the section
//   the rest    the log file
#ifndef TRIMWRIGHT_TESTS_FUZZ_TUNINGINPUT_H_
#define TRIMWRIGHT_TESTS_FUZZ_TUNINGINPUT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/ImageWriter.h"

namespace trimwright::fuzz {

// Where the run is told to write its report.
enum class ReportPlace : std::uint8_t {
  kBeside,         // a new file in the scratch folder
  kOnImage,        // the image itself: the run must refuse
  kOnLog,          // the log itself: the run must refuse
  kMissingFolder,  // inside a folder that does not exist: cannot be created
};

struct TuningInput {
  std::uint8_t logType = 0;    // index into LogExtensions()
  std::uint8_t imageType = 0;  // index into ImageExtensions()
  ReportPlace reportPlace = ReportPlace::kBeside;
  // False: the image is the base image with the image section laid over the
  // fields a run reads (OverlayOffsets), cut to imageLength2 x 2 bytes unless
  // that is 0. True: the image section is the whole image.
  bool rawImage = false;
  std::uint16_t imageLength2 = 0;
  // The run's RunRequest::ignoreChecksum.
  bool ignoreChecksum = false;
  // Both halves' checksums made to hold after the overlay, with the
  // project's sealing, so that an overlaid image passes the check.
  bool sealed = false;
  std::string targetText;
  std::string rpmText;
  std::string imageSection;
  std::string logBytes;

  // Accepts any bytes; texts and sections longer than the bytes left are cut.
  static TuningInput Decode(const std::uint8_t* data, std::size_t size);
  // The bytes Decode turns back into this input. REQUIRES: the texts are at
  // most 255 bytes and the image section at most 65535.
  std::string Encode() const;

  // The first six log extensions name a reader; the last two none.
  bool HasKnownLogType() const { return logType < 6; }
  // "drive.<extension>", or "drive" without an extension.
  std::string LogFileName() const;
  const std::string& LogExtension() const;
  const std::string& ImageExtension() const;
  tools::ImageLayout Layout() const;

  // The image file's bytes. base holds the base image in this input's Layout().
  std::string ImageBytes(const std::string& base) const;
};

// Eight log extensions: the three known ones in both cases, one unknown and none.
const std::vector<std::string>& LogExtensions();
// Four image extensions: .bin and .lt1 in both cases.
const std::vector<std::string>& ImageExtensions();

// The .bin offsets the image section overlays, in order: the six fuel trim
// boundary bytes, the checksum word, the main VE table, the extended VE table.
const std::vector<std::size_t>& OverlayOffsets();

}  // namespace trimwright::fuzz

#endif  // TRIMWRIGHT_TESTS_FUZZ_TUNINGINPUT_H_
