// Walks the fields of one record line from first to last in a single scan,
// converting the fields a reader needs and stepping over the others, so that
// a field is found and converted in one go instead of splitting the line
// first. Fields follow one of the two rules of the text logs (FieldRule); a
// field converts exactly as ParseInt or ParseDouble convert its text. Holds
// views into the line only.
#ifndef TRIMWRIGHT_LOGDATA_FIELDWALK_H_
#define TRIMWRIGHT_LOGDATA_FIELDWALK_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/NumberText.h"
#include "logdata/ByteMask.h"

namespace trimwright {

enum class FieldRule {
  // Every separator ends a field: n separators give n + 1 fields, empty ones
  // included.
  kEverySeparator,
  // A run of separators counts as one; separators at the end of the line add
  // no field; separators at the start give one empty first field, and so does
  // an empty line.
  kRunsOfSeparators,
};

namespace field_walk_detail {

// Bit k set when bytes[k] is a decimal digit.
// REQUIRES: bytes points to at least 16 readable bytes.
inline unsigned DigitMask16(const char* bytes) {
#if defined(__SSE2__)
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const __m128i low = _mm_cmpgt_epi8(block, _mm_set1_epi8('0' - 1));
  const __m128i high = _mm_cmplt_epi8(block, _mm_set1_epi8('9' + 1));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(low, high)));
#else
  unsigned mask = 0;
  for (unsigned k = 0; k < kMaskBytes; ++k) {
    mask |= (bytes[k] >= '0' && bytes[k] <= '9' ? 1u : 0u) << k;
  }
  return mask;
#endif
}

// Adds the count digits at text to value, as further decimal digits.
inline std::uint64_t WithDigits(std::uint64_t value, const char* text, unsigned count) {
  for (unsigned k = 0; k < count; ++k) value = value * 10 + static_cast<unsigned>(text[k] - '0');
  return value;
}

}  // namespace field_walk_detail

template <FieldRule Rule>
class FieldWalk {
 public:
  // REQUIRES: at least 16 readable bytes follow the end of line (they are
  // read but never count as part of it).
  FieldWalk(std::string_view line, char separator);

  // Moves on by count fields. False when the line has fewer fields, or when
  // a field taken before was its last.
  bool Skip(unsigned count);

  // The current field converted as ParseInt converts it; moves to the next.
  int TakeInt();

  // The text of the current field before the first `stop` (all of it when it
  // has none), converted as ParseDouble converts it; moves to the next field.
  // A separator as `stop` converts the whole field.
  double TakeDouble(char stop);

 private:
  // Where the current field ends: the next separator, or the end of the line.
  const char* FieldEnd(const char* from) const;
  // Moves to the field after the one that ends at fieldEnd.
  void MoveAfter(const char* fieldEnd);

  const char* end_;
  char separator_;
  // The start of the current field; null past the last field. For
  // kRunsOfSeparators, the one empty field a line starting with a separator
  // (or an empty line) begins with is pendingEmpty_.
  const char* field_;
  bool pendingEmpty_ = false;
};

template <FieldRule Rule>
FieldWalk<Rule>::FieldWalk(std::string_view line, char separator)
    : end_(line.data() + line.size()), separator_(separator), field_(line.data()) {
  if constexpr (Rule == FieldRule::kRunsOfSeparators) {
    if (line.empty() || line[0] == separator) {
      pendingEmpty_ = true;
      // The first word after the separators, if any.
      const char* p = line.data();
      while (p != end_ && *p == separator) ++p;
      field_ = p == end_ ? nullptr : p;
    }
  }
}

template <FieldRule Rule>
const char* FieldWalk<Rule>::FieldEnd(const char* from) const {
  for (const char* base = from; base < end_; base += kMaskBytes) {
    const unsigned separators = MatchMask16(base, separator_);
    if (separators != 0) {
      const char* found = base + std::countr_zero(separators);
      return found < end_ ? found : end_;
    }
  }
  return end_;
}

template <FieldRule Rule>
void FieldWalk<Rule>::MoveAfter(const char* fieldEnd) {
  if (fieldEnd == end_) {
    field_ = nullptr;
    return;
  }
  if constexpr (Rule == FieldRule::kEverySeparator) {
    field_ = fieldEnd + 1;
  } else {
    // Past the run of separators; separators at the end of the line add no
    // field. Most runs are one separator long.
    const char* p = fieldEnd + 1;
    if (p < end_ && *p != separator_) {
      field_ = p;
      return;
    }
    for (;; p += kMaskBytes) {
      if (p >= end_) {
        field_ = nullptr;
        return;
      }
      const unsigned others = ~MatchMask16(p, separator_) & 0xFFFFu;
      if (others != 0) {
        p += std::countr_zero(others);
        field_ = p < end_ ? p : nullptr;
        return;
      }
    }
  }
}

template <FieldRule Rule>
[[gnu::always_inline]] inline bool FieldWalk<Rule>::Skip(unsigned count) {
  if constexpr (Rule == FieldRule::kRunsOfSeparators) {
    if (pendingEmpty_ && count > 0) {
      pendingEmpty_ = false;
      --count;
    }
    if (count == 0 || field_ == nullptr) return field_ != nullptr;
    // A word starts where a separator is followed by something else; field_
    // itself is no separator, so the scan starts after it with none before.
    unsigned afterSeparator = 0;
    for (const char* base = field_ + 1; base < end_; base += kMaskBytes) {
      const unsigned separators = MatchMask16(base, separator_);
      unsigned starts = ~separators & ((separators << 1) | afterSeparator) & 0xFFFFu;
      afterSeparator = (separators >> (kMaskBytes - 1)) & 1u;
      if (end_ - base < static_cast<std::ptrdiff_t>(kMaskBytes)) {
        starts &= (1u << (end_ - base)) - 1;
      }
      for (; starts != 0; starts &= starts - 1) {
        if (--count == 0) {
          field_ = base + std::countr_zero(starts);
          return true;
        }
      }
    }
    field_ = nullptr;
    return false;
  } else {
    if (field_ == nullptr) return false;
    if (count == 0) return true;
    // The count-th separator from here ends the last field skipped.
    const char* base = field_;
    for (; base < end_; base += kMaskBytes) {
      unsigned separators = MatchMask16(base, separator_);
      if (end_ - base < static_cast<std::ptrdiff_t>(kMaskBytes)) {
        separators &= (1u << (end_ - base)) - 1;
      }
      for (; separators != 0; separators &= separators - 1) {
        if (--count == 0) {
          field_ = base + std::countr_zero(separators) + 1;
          return true;
        }
      }
    }
    field_ = nullptr;
    return count == 0;
  }
}

template <FieldRule Rule>
[[gnu::always_inline]] inline int FieldWalk<Rule>::TakeInt() {
  if (Rule == FieldRule::kRunsOfSeparators && pendingEmpty_) {
    pendingEmpty_ = false;
    return 0;  // an empty field
  }
  if (field_ == nullptr) return 0;
  const char* const start = field_;
  // Up to eight digits at the start, then something else: the value ParseInt
  // finds, whatever else the field holds.
  const unsigned digits = std::countr_one(field_walk_detail::DigitMask16(start));
  const bool lineEnds = end_ - start <= static_cast<std::ptrdiff_t>(digits);
  if (digits > 0 && digits <= 8 && !lineEnds) {
    const int value = static_cast<int>(field_walk_detail::WithDigits(0, start, digits));
    const char* const after = start + digits;
    MoveAfter(*after == separator_ ? after : FieldEnd(after));
    return value;
  }
  const char* const fieldEnd = FieldEnd(start);
  MoveAfter(fieldEnd);
  return ParseInt(std::string_view(start, static_cast<std::size_t>(fieldEnd - start)));
}

template <FieldRule Rule>
[[gnu::always_inline]] inline double FieldWalk<Rule>::TakeDouble(char stop) {
  if (Rule == FieldRule::kRunsOfSeparators && pendingEmpty_) {
    pendingEmpty_ = false;
    return 0.0;  // an empty field
  }
  if (field_ == nullptr) return 0.0;
  const char* const start = field_;
  // Digits, a point and digits (each part at most eight digits, one at least)
  // ending the field or its text before `stop`: ParseDouble's direct
  // conversion, the whole digit string over a power of ten.
  const unsigned digitBits = field_walk_detail::DigitMask16(start);
  const unsigned whole = std::countr_one(digitBits);
  if (whole <= 8 && whole < kMaskBytes) {
    const char* p = start + whole;
    unsigned fraction = 0;
    if (p < end_ && *p == '.') {
      fraction = std::countr_one(digitBits >> (whole + 1));
      p += 1 + fraction;
    }
    if (whole + fraction > 0 && fraction <= 8 && p <= end_ && whole + 1 + fraction < kMaskBytes) {
      const bool fieldEnds = p == end_ || *p == separator_;
      const std::uint64_t value = field_walk_detail::WithDigits(
          field_walk_detail::WithDigits(0, start, whole), start + whole + 1, fraction);
      if ((fieldEnds || *p == stop) && value <= number_text_detail::kLargestExactInteger) {
        MoveAfter(fieldEnds ? p : FieldEnd(p));
        return static_cast<double>(value) / number_text_detail::kExactPowersOfTen[fraction];
      }
    }
  }
  const char* const fieldEnd = FieldEnd(start);
  MoveAfter(fieldEnd);
  std::string_view text(start, static_cast<std::size_t>(fieldEnd - start));
  text = text.substr(0, std::min(text.find(stop), text.size()));
  return ParseDouble(text);
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_FIELDWALK_H_
