// Turns the bytes read from the line into whole, valid data-stream frames,
// counting what it skips by kind; the frames do not depend on how the bytes
// were cut into pieces. Owns the bytes of at most one unfinished frame; lives
// as long as the capture reading the line.
#ifndef TRIMWRIGHT_CAPTURE_FRAMEDECODER_H_
#define TRIMWRIGHT_CAPTURE_FRAMEDECODER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "capture/StreamFrame.h"

namespace trimwright {

// What the decoder found on the line, each byte counted once.
struct FrameCounts {
  std::uint64_t dataFrames = 0;    // whole valid data-stream frames handed out
  std::uint64_t echoes = 0;        // the host's own requests coming back
  std::uint64_t idleFrames = 0;    // whole valid frames of the idle traffic
  std::uint64_t otherFrames = 0;   // whole valid frames of the engine computer, of another mode
  std::uint64_t cutFrames = 0;     // frames that another frame started inside of
  std::uint64_t badChecksums = 0;  // frames whose bytes do not add up
  std::uint64_t garbageBytes = 0;  // bytes that belong to no frame

  // Frames the capture could not use: cut, corrupt or unexpected.
  std::uint64_t BadFrames() const { return cutFrames + badChecksums + otherFrames; }
  bool operator==(const FrameCounts&) const = default;
};

class FrameDecoder {
 public:
  FrameDecoder() = default;

  // Adds the bytes read next.
  void Push(std::span<const std::uint8_t> bytes);

  // The data bytes of the next whole valid data-stream frame, or nothing
  // while the bytes pushed so far hold none.
  std::optional<stream::DataBytes> Next();

  const FrameCounts& counts() const { return counts_; }

  // Bytes held for a frame whose end has not come yet; always fewer than
  // stream::kLongestFrame after Next() returned nothing.
  std::size_t Pending() const { return buffer_.size() - start_; }

 private:
  enum class BadKind { kCut, kChecksum };

  // Counts the frame starting at the first held byte as bad, unless it lies
  // inside a frame already counted; the next n bytes belong to it.
  void CountBad(BadKind kind, std::size_t n);
  // Counts a valid frame found inside a frame counted as corrupt: that one
  // was cut, not corrupt. Ends the bad frame's span.
  void EndBadSpan();
  // Drops the first count held bytes; bytes outside a bad frame's span that
  // belong to no frame count as garbage.
  void Drop(std::size_t count, bool garbage);

  std::vector<std::uint8_t> buffer_;
  std::size_t start_ = 0;  // the first byte not yet decided
  FrameCounts counts_;
  // The held bytes, from start_ on, that belong to the last frame counted as
  // bad, and what was counted.
  std::size_t badSpan_ = 0;
  BadKind badKind_ = BadKind::kCut;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_FRAMEDECODER_H_
