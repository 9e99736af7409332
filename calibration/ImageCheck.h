// Whether an image file is a sound LT1 calibration in the layout its name
// gives, and the facts that say so: its size, the checksum of each 64 KiB
// half (stored and computed), the fuel trim boundaries (which must make
// sense) and the range of each VE table (which must not be all zero). A plain value made from the
// image's bytes; it keeps no file. A run refuses an image that is not sound; --check, the JSON of a
// pass and the window show the facts.
#ifndef TRIMWRIGHT_CALIBRATION_IMAGECHECK_H_
#define TRIMWRIGHT_CALIBRATION_IMAGECHECK_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calibration/ImageLayout.h"

namespace trimwright {

class DiskFile;

// The checksum of one half: the 16-bit sum of the half's bytes from
// ImageCheck::kSummedFrom to its end, against the big-endian word stored at
// ImageCheck::kChecksumInHalf.
struct HalfChecksum {
  std::int64_t offset = 0;   // the half's first byte in the file
  bool present = false;      // the file holds the whole half
  bool veTables = false;     // the half with the VE tables (else the fuel trim boundaries)
  std::uint16_t stored = 0;  // stored and computed are 0 when the half is not present
  std::uint16_t computed = 0;

  bool Holds() const { return present && stored == computed; }
};

// The lowest and highest byte of a VE table, when the file holds all of it.
struct VeTableRange {
  int rows = 0;
  std::int32_t firstRpm = 0;
  std::int32_t lastRpm = 0;
  bool present = false;
  std::uint8_t low = 0;
  std::uint8_t high = 0;
};

class ImageCheck {
 public:
  static constexpr std::int64_t kImageSize = 0x20000;
  static constexpr std::int64_t kHalfSize = 0x10000;
  // Within each half: where its checksum word lies, and the first byte of
  // the sum it holds (which runs to the half's last byte).
  static constexpr std::int64_t kChecksumInHalf = 0x2015;
  static constexpr std::int64_t kSummedFrom = 0x2018;
  static constexpr int kBoundaryBytes = 6;

  // head: the file's first bytes, at most kImageSize of them (more are not
  // looked at); size: the length of the whole file. named: the layout the
  // file's extension names.
  ImageCheck(const std::string& head, std::int64_t size, const ImageLayout& named);

  // Reads the first kImageSize bytes of file, which is open. Throws
  // TrimwrightError naming path when they cannot be read.
  static ImageCheck Read(const DiskFile& file, const std::string& path, const ImageLayout& named);

  // The right size, both checksums holding, not a file of the other layout
  // under this one's name, fuel trim boundaries that rise strictly within
  // the VE grid's axes, and VE tables that are not all zero.
  bool Sound() const { return problems_.empty(); }
  // Each reason the image is not sound, in a tuner's words, in file order.
  const std::vector<std::string>& problems() const { return problems_; }
  // The sentence a run is refused with, and the warning a dry run gives in
  // its place; for a sound image, empty.
  std::string Refusal(const std::string& path) const;
  std::string Warning(const std::string& path) const;
  // Every fact, one per line, each line ending in a line feed: what
  // --check prints for path.
  std::string Describe(const std::string& path) const;

  const ImageLayout& layout() const { return layout_; }
  std::int64_t size() const { return size_; }
  const std::array<HalfChecksum, 2>& halves() const { return halves_; }
  // The fuel trim boundary bytes in this layout (three rpm / 25, three
  // kPa), when the file holds them.
  const std::optional<std::array<std::uint8_t, kBoundaryBytes>>& boundaryBytes() const {
    return boundaryBytes_;
  }
  // The boundaries make no fuel trim table in this layout and do in the
  // other: the file looks like an image of the other layout.
  bool looksSwapped() const { return looksSwapped_; }
  const ImageLayout& otherLayout() const { return otherLayout_; }
  const VeTableRange& mainVe() const { return mainVe_; }
  const VeTableRange& extendedVe() const { return extendedVe_; }

 private:
  std::string JoinedProblems() const;

  ImageLayout layout_;
  ImageLayout otherLayout_;
  std::int64_t size_;
  std::array<HalfChecksum, 2> halves_;
  std::optional<std::array<std::uint8_t, kBoundaryBytes>> boundaryBytes_;
  bool looksSwapped_ = false;
  VeTableRange mainVe_;
  VeTableRange extendedVe_;
  std::vector<std::string> problems_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_IMAGECHECK_H_
