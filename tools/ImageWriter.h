// A synthetic 128 KB calibration image for tests and the drive simulator,
// kept in the .bin layout and written in either layout (the .lt1 layout has
// the two 64 KB halves exchanged). Bytes the program never touches hold a
// pattern, so that a stray write shows. Each half is sealed: its checksum
// holds, by the seal bytes at its end, which no pass reads or writes.
#ifndef TRIMWRIGHT_TOOLS_IMAGEWRITER_H_
#define TRIMWRIGHT_TOOLS_IMAGEWRITER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trimwright::tools {

enum class ImageLayout { kBin, kLt1 };

class CalibrationImage {
 public:
  static constexpr std::size_t kSize = 0x20000;
  static constexpr std::size_t kHalf = 0x10000;
  // Offsets in the .bin layout, as the format documents them.
  static constexpr std::size_t kBoundaries = 0x273F;
  static constexpr std::size_t kChecksum = 0x12015;
  static constexpr std::size_t kMainVe = 0x12BEE;
  static constexpr std::size_t kExtendedVe = 0x12C8A;
  static constexpr int kColumns = 17;
  static constexpr int kMainRows = 9;
  static constexpr int kExtendedRows = 16;       // 2000 to 6500 rpm, what a pass reaches
  static constexpr int kExtendedTableRows = 17;  // and the 7000 rpm row, never tuned
  // Each half's checksum: the 16-bit sum of its bytes from half offset
  // kHalfSummedFrom to its end, stored big-endian at half offset
  // kHalfChecksum. The last kSealBytes bytes of each half take up what a seal
  // needs: 257 bytes of up to 255 reach every 16-bit sum.
  static constexpr std::size_t kHalfChecksum = 0x2015;
  static constexpr std::size_t kHalfSummedFrom = 0x2018;
  static constexpr std::size_t kSealBytes = 257;
  // The halves by their place in the .bin layout.
  static constexpr int kBoundaryHalf = 0;
  static constexpr int kVeHalf = 1;

  // Boundaries 48, 80, 112 (x 25 rpm) and 40, 60, 80 kPa; a smooth VE table
  // in both tables, the 7000 rpm row included; both halves sealed.
  CalibrationImage();

  static CalibrationImage FromBytes(const std::string& bytes, ImageLayout layout);
  std::string Bytes(ImageLayout layout) const;

  // The offset of a .bin offset in the given layout.
  static std::size_t Offset(std::size_t binOffset, ImageLayout layout);

  void SetBoundaryBytes(const std::array<std::uint8_t, 6>& bytes);
  // Main table rows 0 to 8 (400 to 2000 rpm).
  std::uint8_t& MainVe(int row, int column);
  std::uint8_t MainVe(int row, int column) const;
  // Extended table rows 0 to 16 (2000 to 7000 rpm; a pass reaches 0 to 15).
  std::uint8_t& ExtendedVe(int row, int column);
  std::uint8_t ExtendedVe(int row, int column) const;
  // The VE byte of grid row gridRow (0 = 400 rpm); row 8 from the extended
  // table, rows below from the main table.
  std::uint8_t GridVe(int gridRow, int column) const;

  // The VE half's checksum word, the one a pass updates, and that half's sum.
  std::uint16_t StoredChecksum() const { return StoredChecksum(kVeHalf); }
  void SetStoredChecksum(std::uint16_t checksum);
  std::uint16_t ComputedChecksum() const { return ComputedChecksum(kVeHalf); }
  // Either half's.
  std::uint16_t StoredChecksum(int half) const;
  std::uint16_t ComputedChecksum(int half) const;

  // Makes both halves' checksums hold by setting their seal bytes; the
  // stored words and every byte a pass reads stay as they are. The one way
  // the project's images, samples and simulated passes are sealed.
  void Seal();
  // After bytes were changed: moves the VE half's word by the change of that
  // half's summed bytes since the image was made, read or last made
  // consistent (as a pass moves it), and seals both halves.
  void MakeChecksumConsistent();

  std::uint8_t& At(std::size_t binOffset) { return bytes_[binOffset]; }
  std::uint8_t At(std::size_t binOffset) const { return bytes_[binOffset]; }

 private:
  // The VE half's summed bytes, the seal bytes left out.
  unsigned VeHalfSum() const;

  std::vector<std::uint8_t> bytes_;
  unsigned veHalfSum_ = 0;  // at the last seal or read
};

// Row labels of the VE grid: 400 to 4000 rpm in steps of 200, then to 7000 in 500.
int GridRowRpm(int gridRow);
// Column labels: 20 to 100 kPa in steps of 5.
int GridColumnKpa(int column);

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_IMAGEWRITER_H_
