#include "tools/ImageWriter.h"

#include <cmath>
#include <stdexcept>

namespace trimwright::tools {

int GridRowRpm(int gridRow) {
  return gridRow <= 18 ? 400 + 200 * gridRow : 4000 + 500 * (gridRow - 18);
}

int GridColumnKpa(int column) { return 20 + 5 * column; }

namespace {

// A plausible VE surface in percent: rising with load, a torque peak near 4000 rpm.
std::uint8_t BaseVe(int gridRow, int column) {
  const double rpm = GridRowRpm(gridRow);
  const double kpa = GridColumnKpa(column);
  const double percent = 30.0 + 0.42 * kpa + 12.0 * std::sin(rpm / 7000.0 * 3.14159);
  return static_cast<std::uint8_t>(std::lround(percent / 0.390588));
}

}  // namespace

CalibrationImage::CalibrationImage() : bytes_(kSize) {
  for (std::size_t k = 0; k < kSize; ++k) bytes_[k] = static_cast<std::uint8_t>((k * 131 + 7) >> 3);
  SetBoundaryBytes({48, 80, 112, 40, 60, 80});
  for (int row = 0; row < kMainRows; ++row) {
    for (int column = 0; column < kColumns; ++column) MainVe(row, column) = BaseVe(row, column);
  }
  for (int row = 0; row < kExtendedRows; ++row) {
    for (int column = 0; column < kColumns; ++column)
      ExtendedVe(row, column) = BaseVe(row + 8, column);
  }
  // The word these images have always carried, the sum of every other byte
  // as they were before the 7000 rpm row and the seals were laid in: the
  // word a pass reads stays what it was.
  unsigned sum = 0;
  for (std::size_t k = 0; k < kSize; ++k) {
    if (k != kChecksum && k != kChecksum + 1) sum += bytes_[k];
  }
  SetStoredChecksum(static_cast<std::uint16_t>(sum));
  for (int column = 0; column < kColumns; ++column) {
    ExtendedVe(kExtendedRows, column) = BaseVe(kExtendedRows + 8, column);
  }
  Seal();
}

std::size_t CalibrationImage::Offset(std::size_t binOffset, ImageLayout layout) {
  return layout == ImageLayout::kBin ? binOffset : binOffset ^ kHalf;
}

CalibrationImage CalibrationImage::FromBytes(const std::string& bytes, ImageLayout layout) {
  if (bytes.size() != kSize) throw std::invalid_argument("a calibration image has 131072 bytes");
  CalibrationImage image;
  for (std::size_t k = 0; k < kSize; ++k) {
    image.bytes_[Offset(k, layout)] = static_cast<std::uint8_t>(bytes[k]);
  }
  image.veHalfSum_ = image.VeHalfSum();
  return image;
}

std::string CalibrationImage::Bytes(ImageLayout layout) const {
  std::string bytes(kSize, '\0');
  for (std::size_t k = 0; k < kSize; ++k) bytes[Offset(k, layout)] = static_cast<char>(bytes_[k]);
  return bytes;
}

void CalibrationImage::SetBoundaryBytes(const std::array<std::uint8_t, 6>& bytes) {
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes_[kBoundaries + k] = bytes[k];
}

std::uint8_t& CalibrationImage::MainVe(int row, int column) {
  return bytes_[kMainVe + static_cast<std::size_t>(row * kColumns + column)];
}
std::uint8_t CalibrationImage::MainVe(int row, int column) const {
  return bytes_[kMainVe + static_cast<std::size_t>(row * kColumns + column)];
}
std::uint8_t& CalibrationImage::ExtendedVe(int row, int column) {
  return bytes_[kExtendedVe + static_cast<std::size_t>(row * kColumns + column)];
}
std::uint8_t CalibrationImage::ExtendedVe(int row, int column) const {
  return bytes_[kExtendedVe + static_cast<std::size_t>(row * kColumns + column)];
}

std::uint8_t CalibrationImage::GridVe(int gridRow, int column) const {
  return gridRow < 8 ? MainVe(gridRow, column) : ExtendedVe(gridRow - 8, column);
}

std::uint16_t CalibrationImage::StoredChecksum(int half) const {
  const std::size_t at = static_cast<std::size_t>(half) * kHalf + kHalfChecksum;
  return static_cast<std::uint16_t>(bytes_[at] << 8 | bytes_[at + 1]);
}

void CalibrationImage::SetStoredChecksum(std::uint16_t checksum) {
  bytes_[kChecksum] = static_cast<std::uint8_t>(checksum >> 8);
  bytes_[kChecksum + 1] = static_cast<std::uint8_t>(checksum & 0xFF);
}

std::uint16_t CalibrationImage::ComputedChecksum(int half) const {
  const std::size_t begin = static_cast<std::size_t>(half) * kHalf;
  unsigned sum = 0;
  for (std::size_t k = begin + kHalfSummedFrom; k < begin + kHalf; ++k) sum += bytes_[k];
  return static_cast<std::uint16_t>(sum);
}

unsigned CalibrationImage::VeHalfSum() const {
  const std::size_t begin = kVeHalf * kHalf;
  unsigned sum = 0;
  for (std::size_t k = begin + kHalfSummedFrom; k < begin + kHalf - kSealBytes; ++k) {
    sum += bytes_[k];
  }
  return sum;
}

void CalibrationImage::Seal() {
  for (int half = kBoundaryHalf; half <= kVeHalf; ++half) {
    const std::size_t seal = static_cast<std::size_t>(half) * kHalf + kHalf - kSealBytes;
    for (std::size_t k = seal; k < seal + kSealBytes; ++k) bytes_[k] = 0;
    // What the seal bytes must add up to, spread as evenly as bytes allow.
    const unsigned needed =
        static_cast<std::uint16_t>(StoredChecksum(half) - ComputedChecksum(half));
    for (std::size_t k = 0; k < kSealBytes; ++k) {
      bytes_[seal + k] =
          static_cast<std::uint8_t>(needed / kSealBytes + (k < needed % kSealBytes ? 1 : 0));
    }
  }
  veHalfSum_ = VeHalfSum();
}

void CalibrationImage::MakeChecksumConsistent() {
  SetStoredChecksum(static_cast<std::uint16_t>(StoredChecksum() + VeHalfSum() - veHalfSum_));
  Seal();
}

}  // namespace trimwright::tools
