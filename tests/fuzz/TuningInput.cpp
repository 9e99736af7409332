#include "tests/fuzz/TuningInput.h"

#include <algorithm>
#include <stdexcept>

namespace trimwright::fuzz {

namespace {

using tools::CalibrationImage;

constexpr std::uint8_t kLogTypeBits = 0x07;
constexpr int kImageTypeShift = 3;
constexpr std::uint8_t kImageTypeBits = 0x03;
constexpr int kReportPlaceShift = 5;
constexpr std::uint8_t kReportPlaceBits = 0x03;
constexpr std::uint8_t kRawImageBit = 0x80;
constexpr std::uint8_t kIgnoreChecksumBit = 0x01;
constexpr std::uint8_t kSealedBit = 0x02;

// Reads the parts of an input in order; past the end every part is empty.
class Cursor {
 public:
  Cursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
  std::uint16_t Word() {
    const std::uint8_t low = Byte();
    return static_cast<std::uint16_t>(low | Byte() << 8);
  }
  std::string Bytes(std::size_t count) {
    count = std::min(count, size_ - position_);
    std::string bytes(reinterpret_cast<const char*>(data_ + position_), count);
    position_ += count;
    return bytes;
  }
  std::string Rest() { return Bytes(size_ - position_); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

void AppendWord(std::string& out, std::size_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}

void AppendText(std::string& out, const std::string& text) {
  if (text.size() > 0xFF) throw std::invalid_argument("a field text has at most 255 bytes");
  out += static_cast<char>(text.size());
  out += text;
}

}  // namespace

TuningInput TuningInput::Decode(const std::uint8_t* data, std::size_t size) {
  Cursor cursor(data, size);
  TuningInput input;
  const std::uint8_t choices = cursor.Byte();
  input.logType = choices & kLogTypeBits;
  input.imageType = choices >> kImageTypeShift & kImageTypeBits;
  input.reportPlace = static_cast<ReportPlace>(choices >> kReportPlaceShift & kReportPlaceBits);
  input.rawImage = (choices & kRawImageBit) != 0;
  input.imageLength2 = cursor.Word();
  const std::uint8_t more = cursor.Byte();
  input.ignoreChecksum = (more & kIgnoreChecksumBit) != 0;
  input.sealed = (more & kSealedBit) != 0;
  input.targetText = cursor.Bytes(cursor.Byte());
  input.rpmText = cursor.Bytes(cursor.Byte());
  input.imageSection = cursor.Bytes(cursor.Word());
  input.logBytes = cursor.Rest();
  return input;
}

std::string TuningInput::Encode() const {
  if (imageSection.size() > 0xFFFF) throw std::invalid_argument("image section too long");
  std::string out;
  out +=
      static_cast<char>((logType & kLogTypeBits) | (imageType & kImageTypeBits) << kImageTypeShift |
                        (static_cast<int>(reportPlace) & kReportPlaceBits) << kReportPlaceShift |
                        (rawImage ? kRawImageBit : 0));
  AppendWord(out, imageLength2);
  out += static_cast<char>((ignoreChecksum ? kIgnoreChecksumBit : 0) | (sealed ? kSealedBit : 0));
  AppendText(out, targetText);
  AppendText(out, rpmText);
  AppendWord(out, imageSection.size());
  out += imageSection;
  out += logBytes;
  return out;
}

const std::vector<std::string>& LogExtensions() {
  static const std::vector<std::string> extensions{"uni", "csv", "txt", "UNI",
                                                   "CSV", "TXT", "dat", ""};
  return extensions;
}

const std::vector<std::string>& ImageExtensions() {
  static const std::vector<std::string> extensions{"bin", "lt1", "BIN", "LT1"};
  return extensions;
}

const std::string& TuningInput::LogExtension() const { return LogExtensions()[logType]; }

std::string TuningInput::LogFileName() const {
  return LogExtension().empty() ? "drive" : "drive." + LogExtension();
}

const std::string& TuningInput::ImageExtension() const { return ImageExtensions()[imageType]; }

tools::ImageLayout TuningInput::Layout() const {
  return imageType % 2 == 0 ? tools::ImageLayout::kBin : tools::ImageLayout::kLt1;
}

const std::vector<std::size_t>& OverlayOffsets() {
  static const std::vector<std::size_t> offsets = [] {
    std::vector<std::size_t> list;
    auto add = [&list](std::size_t begin, std::size_t count) {
      for (std::size_t k = 0; k < count; ++k) list.push_back(begin + k);
    };
    add(CalibrationImage::kBoundaries, 6);
    add(CalibrationImage::kChecksum, 2);
    add(CalibrationImage::kMainVe, CalibrationImage::kMainRows * CalibrationImage::kColumns);
    add(CalibrationImage::kExtendedVe,
        CalibrationImage::kExtendedRows * CalibrationImage::kColumns);
    return list;
  }();
  return offsets;
}

std::string TuningInput::ImageBytes(const std::string& base) const {
  if (rawImage) return imageSection;
  std::string bytes = base;
  const std::size_t overlaid = std::min(imageSection.size(), OverlayOffsets().size());
  for (std::size_t k = 0; k < overlaid; ++k) {
    bytes[CalibrationImage::Offset(OverlayOffsets()[k], Layout())] = imageSection[k];
  }
  if (sealed) {
    CalibrationImage image = CalibrationImage::FromBytes(bytes, Layout());
    image.Seal();
    bytes = image.Bytes(Layout());
  }
  if (imageLength2 != 0) bytes.resize(std::min<std::size_t>(2u * imageLength2, bytes.size()));
  return bytes;
}

}  // namespace trimwright::fuzz
