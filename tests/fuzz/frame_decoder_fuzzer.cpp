// Fuzzes the capture's frame decoder: any bytes as the line's stream. The
// first byte seeds how the rest is cut into pieces. The frames handed out and
// the counts must not depend on the pieces (whole, byte by byte, or the
// seeded cut); every frame handed out must be a whole valid data-stream frame
// that stands in the input as it is; and the decoder may hold no more than
// one unfinished frame.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/FrameDecoder.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using trimwright::FrameCounts;
using trimwright::FrameDecoder;
namespace stream = trimwright::stream;

struct Decoded {
  std::vector<stream::DataBytes> frames;
  FrameCounts counts;
};

// Pushes the bytes in the pieces `nextPiece` gives, taking every frame.
template <typename NextPiece>
Decoded Decode(const std::uint8_t* data, std::size_t size, NextPiece nextPiece) {
  FrameDecoder decoder;
  Decoded out;
  for (std::size_t k = 0; k < size;) {
    const std::size_t n = std::min(std::max<std::size_t>(nextPiece(), 1), size - k);
    decoder.Push({data + k, n});
    k += n;
    while (auto frame = decoder.Next()) out.frames.push_back(*frame);
    TRIMWRIGHT_FUZZ_CHECK(decoder.Pending() < stream::kLongestFrame);
  }
  out.counts = decoder.counts();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::uint32_t state = data[0] * 2654435761u + 1;
  const std::uint8_t* bytes = data + 1;
  const std::size_t length = size - 1;

  const Decoded whole = Decode(bytes, length, [&] { return length; });
  const Decoded single = Decode(bytes, length, [] { return std::size_t{1}; });
  const Decoded seeded = Decode(bytes, length, [&] {
    state = state * 1664525u + 1013904223u;
    return static_cast<std::size_t>(state >> 25);  // 0 to 127
  });
  TRIMWRIGHT_FUZZ_CHECK(whole.frames == single.frames && whole.frames == seeded.frames);
  TRIMWRIGHT_FUZZ_CHECK(whole.counts == single.counts && whole.counts == seeded.counts);
  TRIMWRIGHT_FUZZ_CHECK(whole.counts.dataFrames == whole.frames.size());

  // Each frame, rebuilt from its data, stands in the input after the one
  // before it.
  const std::uint8_t* from = bytes;
  const std::uint8_t* end = bytes + length;
  for (const stream::DataBytes& frameData : whole.frames) {
    const std::vector<std::uint8_t> frame =
        stream::BuildFrame(stream::kEcuAddress, stream::kDataStreamMode, frameData);
    const std::uint8_t* at = std::search(from, end, frame.begin(), frame.end());
    TRIMWRIGHT_FUZZ_CHECK(at != end);
    from = at + frame.size();
  }
  return 0;
}
