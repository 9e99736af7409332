// The frames of the engine computer's data stream: address, length, mode,
// data, checksum. The constants every part of a capture shares (addresses,
// the length rule, the data-stream answer's size), the three requests the host
// sends, and the checksum rule. Values only; nothing here owns anything.
#ifndef TRIMWRIGHT_CAPTURE_STREAMFRAME_H_
#define TRIMWRIGHT_CAPTURE_STREAMFRAME_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace trimwright::stream {

// The engine computer's address, on its answers and on the host's requests.
inline constexpr std::uint8_t kEcuAddress = 0xF4;
// The address of the unrequested idle traffic on the line.
inline constexpr std::uint8_t kIdleAddress = 0xF0;
// The length byte is this plus the bytes between it and the checksum (the
// mode and the data).
inline constexpr std::uint8_t kLengthOffset = 0x55;
// Address, length and checksum: the bytes of a frame outside mode and data.
inline constexpr std::size_t kFrameOverhead = 3;
// The smallest length byte, a frame with a mode and no data, and the
// longest frame a length byte can announce.
inline constexpr std::uint8_t kShortestLength = kLengthOffset + 1;
inline constexpr std::size_t kLongestFrame = 0xFF - kLengthOffset + kFrameOverhead;

// The answer to the data-stream request: F4 92 01, 60 data bytes, checksum.
inline constexpr std::uint8_t kDataStreamMode = 0x01;
inline constexpr std::size_t kDataBytes = 60;
inline constexpr std::uint8_t kDataStreamLength = kLengthOffset + 1 + kDataBytes;
inline constexpr std::size_t kDataFrameBytes = kDataBytes + 4;
static_assert(kDataStreamLength == 0x92 && kLongestFrame == 173);

using DataBytes = std::array<std::uint8_t, kDataBytes>;

// The host's requests, checksum included.
inline constexpr std::array<std::uint8_t, 5> kRequestDataStream = {0xF4, 0x57, 0x01, 0x00, 0xB4};
inline constexpr std::array<std::uint8_t, 4> kStopIdleTraffic = {0xF4, 0x56, 0x08, 0xAE};
inline constexpr std::array<std::uint8_t, 4> kResumeIdleTraffic = {0xF4, 0x56, 0x00, 0xB6};

// The whole frame's byte count that a length byte announces; 0 for a length
// byte below kShortestLength, which starts no frame.
constexpr std::size_t FrameBytesFor(std::uint8_t lengthByte) {
  return lengthByte < kShortestLength ? 0
                                      : std::size_t{lengthByte} - kLengthOffset + kFrameOverhead;
}
static_assert(FrameBytesFor(kDataStreamLength) == kDataFrameBytes &&
              FrameBytesFor(kRequestDataStream[1]) == kRequestDataStream.size());

// The byte that makes the sum of bytes and itself 0 modulo 256.
std::uint8_t ChecksumFor(std::span<const std::uint8_t> bytes);

// True when every byte of frame, its checksum included, adds up to 0 modulo
// 256.
bool ChecksumHolds(std::span<const std::uint8_t> frame);

// A whole frame: address, the length byte for mode and body, mode, body,
// checksum. REQUIRES: body.size() <= 0xFF - kShortestLength.
std::vector<std::uint8_t> BuildFrame(std::uint8_t address, std::uint8_t mode,
                                     std::span<const std::uint8_t> body);

}  // namespace trimwright::stream

#endif  // TRIMWRIGHT_CAPTURE_STREAMFRAME_H_
