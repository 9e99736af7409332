#include "capture/FrameDecoder.h"

#include <algorithm>

namespace trimwright {

namespace {

bool IsDataFrameStart(const std::uint8_t* p) {
  return p[0] == stream::kEcuAddress && p[1] == stream::kDataStreamLength &&
         p[2] == stream::kDataStreamMode;
}

// True when a whole valid data-stream frame starts after the first byte and
// ends within the first `limit` bytes at p. A frame start that holds one is
// no frame: its bytes came from a frame that was cut, or from garbage. Asking
// only for frames that end within the span makes the answer the same however
// the bytes arrived.
bool HoldsDataFrame(const std::uint8_t* p, std::size_t limit) {
  for (std::size_t q = 1; q + stream::kDataFrameBytes <= limit; ++q) {
    if (IsDataFrameStart(p + q) && stream::ChecksumHolds({p + q, stream::kDataFrameBytes}))
      return true;
  }
  return false;
}

template <std::size_t N>
bool Equals(const std::uint8_t* p, std::size_t n, const std::array<std::uint8_t, N>& frame) {
  return n == N && std::equal(frame.begin(), frame.end(), p);
}

}  // namespace

void FrameDecoder::Push(std::span<const std::uint8_t> bytes) {
  if (start_ > 0) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<stream::DataBytes> FrameDecoder::Next() {
  while (Pending() > 0) {
    const std::uint8_t* p = buffer_.data() + start_;
    const std::size_t held = Pending();
    std::size_t n = 0;  // the bytes of the frame p starts, 0: p starts none
    if (p[0] == stream::kEcuAddress || p[0] == stream::kIdleAddress) {
      if (held < 2) return std::nullopt;
      n = stream::FrameBytesFor(p[1]);
    }
    if (n == 0) {
      Drop(1, true);
      continue;
    }
    if (held < n) {
      // Rather than wait for bytes that may never come, give up the start
      // as soon as a whole data frame has come inside it.
      if (!HoldsDataFrame(p, held)) return std::nullopt;
      CountBad(BadKind::kCut, n);
      Drop(1, false);
      continue;
    }
    if (!stream::ChecksumHolds({p, n})) {
      CountBad(BadKind::kChecksum, n);
      Drop(1, false);
      continue;
    }
    if (HoldsDataFrame(p, n)) {
      CountBad(BadKind::kCut, n);
      Drop(1, false);
      continue;
    }
    EndBadSpan();
    std::optional<stream::DataBytes> data;
    if (p[0] == stream::kIdleAddress) {
      ++counts_.idleFrames;
    } else if (IsDataFrameStart(p)) {
      ++counts_.dataFrames;
      data.emplace();
      std::copy_n(p + 3, stream::kDataBytes, data->begin());
    } else if (Equals(p, n, stream::kRequestDataStream) || Equals(p, n, stream::kStopIdleTraffic) ||
               Equals(p, n, stream::kResumeIdleTraffic)) {
      ++counts_.echoes;
    } else {
      ++counts_.otherFrames;
    }
    Drop(n, false);
    if (data) return data;
  }
  return std::nullopt;
}

void FrameDecoder::CountBad(BadKind kind, std::size_t n) {
  if (badSpan_ > 0) return;
  badSpan_ = n;
  badKind_ = kind;
  ++(kind == BadKind::kCut ? counts_.cutFrames : counts_.badChecksums);
}

void FrameDecoder::EndBadSpan() {
  if (badSpan_ > 0 && badKind_ == BadKind::kChecksum) {
    --counts_.badChecksums;
    ++counts_.cutFrames;
  }
  badSpan_ = 0;
}

void FrameDecoder::Drop(std::size_t count, bool garbage) {
  const std::size_t attributed = std::min(count, badSpan_);
  badSpan_ -= attributed;
  if (garbage) counts_.garbageBytes += count - attributed;
  start_ += count;
}

}  // namespace trimwright
