// The allocator of the per-record arrays (a log's columns, a fuel trim cell's
// records). Two things make these arrays cheap at millions of records:
//  - Large arrays are mapped straight from the system on 2 MiB boundaries and
//    asked to be backed by huge pages, so filling them takes hundreds of page
//    faults instead of hundreds of thousands.
//  - Sizing an array does not write zeros into it a second time: memory comes
//    zeroed from the allocator (large arrays straight from the system, small
//    ones cleared once), and a resize leaves the entries it adds as the
//    memory holds them. RecordArray clears the entries a shrinking resize
//    drops, so every entry a resize adds reads as zero.
// Exhausted memory is reported as std::bad_alloc, like any other allocation.
#ifndef TRIMWRIGHT_COMMON_RECORDALLOCATOR_H_
#define TRIMWRIGHT_COMMON_RECORDALLOCATOR_H_

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace trimwright {

// Untyped memory for RecordAllocator. Sizes are in bytes; Release takes the
// size that Acquire was given.
void* AcquireRecordMemory(std::size_t bytes);
void ReleaseRecordMemory(void* memory, std::size_t bytes) noexcept;

template <typename T>
class RecordAllocator {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                "record arrays hold plain values");

 public:
  using value_type = T;

  RecordAllocator() noexcept = default;
  template <typename U>
  RecordAllocator(const RecordAllocator<U>&) noexcept {}  // NOLINT: rebinding converts implicitly

  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(AcquireRecordMemory(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { ReleaseRecordMemory(p, n * sizeof(T)); }

  // An entry added by a resize is left as the memory holds it.
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  template <typename U>
  bool operator==(const RecordAllocator<U>&) const noexcept {
    return true;
  }
};

// One entry per record: a vector on RecordAllocator whose entries never show
// what the memory held before. A fresh or grown array reads as zeros, and the
// entries a shrinking resize or clear drops are zeroed, since a later resize
// hands them out again without writing them.
template <typename T>
class RecordArray : private std::vector<T, RecordAllocator<T>> {
  using Base = std::vector<T, RecordAllocator<T>>;

 public:
  using typename Base::const_iterator;
  using typename Base::iterator;
  using typename Base::value_type;

  RecordArray() = default;
  explicit RecordArray(std::size_t count) : Base(count) {}
  RecordArray(std::initializer_list<T> values) : Base(values) {}

  using Base::back;
  using Base::begin;
  using Base::capacity;
  using Base::data;
  using Base::empty;
  using Base::end;
  using Base::front;
  using Base::push_back;
  using Base::reserve;
  using Base::size;
  using Base::operator[];

  void resize(std::size_t count) {
    if (count < size()) std::fill(begin() + static_cast<std::ptrdiff_t>(count), end(), T{});
    Base::resize(count);
  }
  void clear() { resize(0); }

  friend bool operator==(const RecordArray& a, const RecordArray& b) {
    return static_cast<const Base&>(a) == static_cast<const Base&>(b);
  }
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_COMMON_RECORDALLOCATOR_H_
