// The fields a reader splits a record line into: views into the line, of which
// at most Capacity are kept. Splitting stops once Capacity fields are found, so
// a reader that needs N fields and rejects lines with more keeps N + 1 and
// never looks at the rest of a long line.
#ifndef TRIMWRIGHT_LOGDATA_FIELDLIST_H_
#define TRIMWRIGHT_LOGDATA_FIELDLIST_H_

#include <cstddef>
#include <string_view>

namespace trimwright {

template <std::size_t Capacity>
class FieldList {
 public:
  // Leaves the entries unset: only the first size() are ever set or read,
  // and clearing all of them for every line would cost more than the split.
  FieldList() {}  // NOLINT: deliberately not = default, which would clear

  std::size_t size() const { return size_; }
  bool full() const { return size_ == Capacity; }
  std::string_view operator[](std::size_t k) const { return {starts_[k], lengths_[k]}; }

  // REQUIRES: !full().
  void push_back(std::string_view field) {
    starts_[size_] = field.data();
    lengths_[size_] = field.size();
    ++size_;
  }

 private:
  const char* starts_[Capacity];
  std::size_t lengths_[Capacity];
  std::size_t size_ = 0;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_FIELDLIST_H_
