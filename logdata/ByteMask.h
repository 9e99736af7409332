// Finds one byte value in sixteen bytes at once, for the field splitters: bit k
// of the mask is set when bytes[k] equals the value. Uses SSE2 where the
// target has it (every x86-64 does) and a plain loop elsewhere.
#ifndef TRIMWRIGHT_LOGDATA_BYTEMASK_H_
#define TRIMWRIGHT_LOGDATA_BYTEMASK_H_

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trimwright {

constexpr unsigned kMaskBytes = 16;

// REQUIRES: bytes points to at least 16 readable bytes.
inline unsigned MatchMask16(const char* bytes, char value) {
#if defined(__SSE2__)
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(value))));
#else
  unsigned mask = 0;
  for (unsigned k = 0; k < kMaskBytes; ++k) mask |= (bytes[k] == value ? 1u : 0u) << k;
  return mask;
#endif
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_BYTEMASK_H_
