// The fields of a record line, split by one of the two rules the text logs
// use, as views into the line. Only the first Capacity fields are kept:
// splitting stops once they are known, so a reader that needs N fields and
// rejects lines with more keeps N + 1 and never looks at the rest of a long
// line. The split notes only where the separators are; a field's view is
// worked out when the field is asked for, since a reader reads few of them.
#ifndef TRIMWRIGHT_LOGDATA_FIELDLIST_H_
#define TRIMWRIGHT_LOGDATA_FIELDLIST_H_

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <string_view>

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

template <std::size_t Capacity, FieldRule Rule>
class FieldList {
 public:
  static FieldList Split(std::string_view line, char separator);

  std::size_t size() const { return size_; }
  bool full() const { return size_ == Capacity; }

  // REQUIRES: k < size().
  [[gnu::always_inline]] std::string_view operator[](std::size_t k) const;

 private:
  // Leaves the positions unset: only those the split finds are ever read.
  FieldList() {}  // NOLINT: deliberately not = default

  // The positions of the separators, or (kRunsOfSeparators, for lines with
  // runs of separators) the places where a field starts and ends, in turn.
  // A block of sixteen bytes adds at most sixteen past the limit.
  static constexpr std::size_t kPositions =
      (Rule == FieldRule::kEverySeparator ? Capacity : 2 * Capacity) + kMaskBytes;

  const char* text_ = nullptr;
  std::size_t lineSize_ = 0;
  std::size_t size_ = 0;
  std::size_t found_ = 0;  // positions found
  // kRunsOfSeparators: the line has no run of separators and none at its
  // start, and the positions are those of the separators.
  bool singleSeparators_ = false;
  bool emptyFirst_ = false;  // kRunsOfSeparators: the line starts with a separator
  std::size_t positions_[kPositions];
};

template <std::size_t Capacity, FieldRule Rule>
FieldList<Capacity, Rule> FieldList<Capacity, Rule>::Split(std::string_view line, char separator) {
  FieldList fields;
  fields.text_ = line.data();
  fields.lineSize_ = line.size();
  const char* const text = line.data();
  const std::size_t size = line.size();

  // Positions go in while fewer than `limit` are known; mask gives the bits
  // of interest in the sixteen bytes at base. The last bytes are copied into
  // a block padded with `pad`.
  auto scan = [&](std::size_t limit, char pad, auto mask) {
    std::size_t found = 0;
    auto gather = [&](const char* bytes, std::size_t base) {
      for (unsigned bits = mask(bytes); bits != 0; bits &= bits - 1) {
        fields.positions_[found++] = base + static_cast<std::size_t>(std::countr_zero(bits));
      }
    };
    std::size_t base = 0;
    for (; base + kMaskBytes <= size && found < limit; base += kMaskBytes)
      gather(text + base, base);
    if (found < limit) {
      char tail[kMaskBytes];
      std::memset(tail, pad, sizeof tail);
      if (size > base) std::memcpy(tail, text + base, size - base);
      gather(tail, base);
    }
    return found;
  };

  if constexpr (Rule == FieldRule::kEverySeparator) {
    // Up to the separator that ends the last field kept; the padding holds
    // no separator.
    const char noSeparator = static_cast<char>(separator + 1);
    fields.found_ = scan(Capacity, noSeparator,
                         [separator](const char* bytes) { return MatchMask16(bytes, separator); });
    fields.size_ = std::min(fields.found_ + 1, Capacity);
  } else {
    // Most lines have no two separators in a row and none at the start:
    // there, as with the other rule, every separator ends a field, except one
    // at the very end of the line, which adds none.
    bool runs = size == 0 || text[0] == separator;
    unsigned afterSeparator = 0;
    const char noSeparator = static_cast<char>(separator + 1);
    fields.found_ = scan(Capacity, noSeparator, [&](const char* bytes) {
      const unsigned separators = MatchMask16(bytes, separator);
      runs = runs || (separators & ((separators << 1) | afterSeparator) & 0xFFFFu) != 0;
      afterSeparator = (separators >> (kMaskBytes - 1)) & 1u;
      return separators;
    });
    if (!runs) {
      fields.singleSeparators_ = true;
      // Found fewer than Capacity: the whole line was scanned.
      const bool atEnd = fields.found_ > 0 && fields.found_ < Capacity &&
                         fields.positions_[fields.found_ - 1] == size - 1;
      fields.size_ = std::min(fields.found_ + (atEnd ? 0 : 1), Capacity);
      return fields;
    }

    // Otherwise the places where the line changes between separators and
    // the rest alternate: the start of a field, its end, the start of the
    // next. The start of the line counts as following a separator, and the
    // padding after it is separators, so it ends a field that runs to the end.
    fields.emptyFirst_ = size == 0 || text[0] == separator;
    afterSeparator = 1;
    fields.found_ = scan(2 * Capacity, separator, [&](const char* bytes) {
      const unsigned separators = MatchMask16(bytes, separator);
      const unsigned before = ((separators << 1) | afterSeparator) & 0xFFFFu;
      afterSeparator = (separators >> (kMaskBytes - 1)) & 1u;
      return separators ^ before;
    });
    fields.size_ = std::min((fields.emptyFirst_ ? 1 : 0) + fields.found_ / 2, Capacity);
  }
  return fields;
}

template <std::size_t Capacity, FieldRule Rule>
inline std::string_view FieldList<Capacity, Rule>::operator[](std::size_t k) const {
  if (Rule == FieldRule::kEverySeparator || singleSeparators_) {
    const std::size_t start = k == 0 ? 0 : positions_[k - 1] + 1;
    const std::size_t end = k < found_ ? positions_[k] : lineSize_;
    return std::string_view(text_ + start, end - start);
  } else {
    if (emptyFirst_) {
      if (k == 0) return std::string_view(text_, 0);
      --k;
    }
    const std::size_t start = positions_[2 * k];
    return std::string_view(text_ + start, positions_[2 * k + 1] - start);
  }
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_FIELDLIST_H_
