// A synthetic 128 KB calibration image for tests and the drive simulator,
// kept in the .bin layout and written in either layout (the .lt1 layout has
// the two 64 KB halves exchanged). Bytes the program never touches hold a
// pattern, so that a stray write shows.
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
  static constexpr int kExtendedRows = 16;  // 2000 to 6500 rpm

  // Boundaries 48, 80, 112 (x 25 rpm) and 40, 60, 80 kPa; a smooth VE table
  // in both tables; a checksum that agrees with the bytes.
  CalibrationImage();

  static CalibrationImage FromBytes(const std::string& bytes, ImageLayout layout);
  std::string Bytes(ImageLayout layout) const;

  // The offset of a .bin offset in the given layout.
  static std::size_t Offset(std::size_t binOffset, ImageLayout layout);

  void SetBoundaryBytes(const std::array<std::uint8_t, 6>& bytes);
  // Main table rows 0 to 8 (400 to 2000 rpm).
  std::uint8_t& MainVe(int row, int column);
  std::uint8_t MainVe(int row, int column) const;
  // Extended table rows 0 to 15 (2000 to 6500 rpm).
  std::uint8_t& ExtendedVe(int row, int column);
  std::uint8_t ExtendedVe(int row, int column) const;
  // The VE byte of grid row gridRow (0 = 400 rpm); row 8 from the extended
  // table, rows below from the main table.
  std::uint8_t GridVe(int gridRow, int column) const;

  std::uint16_t StoredChecksum() const;
  void SetStoredChecksum(std::uint16_t checksum);
  // The 16-bit sum of every byte but the checksum word.
  std::uint16_t ComputedChecksum() const;
  void MakeChecksumConsistent() { SetStoredChecksum(ComputedChecksum()); }

  std::uint8_t& At(std::size_t binOffset) { return bytes_[binOffset]; }
  std::uint8_t At(std::size_t binOffset) const { return bytes_[binOffset]; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Row labels of the VE grid: 400 to 4000 rpm in steps of 200, then to 7000 in 500.
int GridRowRpm(int gridRow);
// Column labels: 20 to 100 kPa in steps of 5.
int GridColumnKpa(int column);

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_IMAGEWRITER_H_
