#include "capture/StreamFrame.h"

namespace trimwright::stream {

std::uint8_t ChecksumFor(std::span<const std::uint8_t> bytes) {
  unsigned sum = 0;
  for (const std::uint8_t b : bytes) sum += b;
  return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

bool ChecksumHolds(std::span<const std::uint8_t> frame) {
  unsigned sum = 0;
  for (const std::uint8_t b : frame) sum += b;
  return (sum & 0xFF) == 0;
}

std::vector<std::uint8_t> BuildFrame(std::uint8_t address, std::uint8_t mode,
                                     std::span<const std::uint8_t> body) {
  std::vector<std::uint8_t> frame;
  frame.reserve(body.size() + kFrameOverhead + 1);
  frame.push_back(address);
  frame.push_back(static_cast<std::uint8_t>(kLengthOffset + 1 + body.size()));
  frame.push_back(mode);
  frame.insert(frame.end(), body.begin(), body.end());
  frame.push_back(ChecksumFor(frame));
  return frame;
}

}  // namespace trimwright::stream
