#include "common/RecordAllocator.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace trimwright {

namespace {

// Fresh memory costs a page fault per page on first touch; with huge pages
// that is one fault per 2 MiB instead of one per 4 KiB.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Under the address checker larger arrays come from malloc instead, where
// the checker sees their bounds (and reports exhaustion as a null pointer).
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCheckedHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kCheckedHeap = true;
#else
constexpr bool kCheckedHeap = false;
#endif
#else
constexpr bool kCheckedHeap = false;
#endif

// Below this size an array comes from the general heap.
constexpr std::size_t kPooledFrom = std::size_t{16} << 10;
// At and above this size an array is mapped on its own; between the two it
// is carved from a shared chunk.
constexpr std::size_t kMappedFrom = kHugePage;
constexpr std::size_t kChunkBytes = std::size_t{16} << 20;
constexpr std::size_t kPoolAlignment = 64;

std::size_t RoundUp(std::size_t bytes, std::size_t unit) {
  return (bytes + unit - 1) / unit * unit;
}

// Maps length bytes (a multiple of alignment) starting on an alignment
// boundary, asking for huge pages.
void* MapAligned(std::size_t length, std::size_t alignment) {
  if (length > SIZE_MAX - alignment) throw std::bad_alloc();
  void* mapped = ::mmap(nullptr, length + alignment, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  // Trim both ends so the mapping starts on the boundary.
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = RoundUp(start, alignment);
  const std::size_t head = aligned - start;
  if (head > 0) ::munmap(mapped, head);
  const std::size_t tail = alignment - head;
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + length), tail);
  // Only advice: without huge pages the memory works the same, just slower.
  ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

// Medium arrays (a fuel trim cell's lists, a small log's columns) share
// chunks of huge pages: each chunk hands out its bytes in order and is
// unmapped when the last array in it is released, unless it is the chunk
// still being handed out.
class ChunkPool {
 public:
  void* Take(std::size_t bytes) {
    const std::size_t size = RoundUp(bytes, kPoolAlignment);
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ == kNone || chunks_[current_].used + size > kChunkBytes) {
      const std::size_t previous = current_;
      current_ = kNone;
      if (previous != kNone && chunks_[previous].live == 0) Unmap(previous);
      char* const base = static_cast<char*>(MapAligned(kChunkBytes, kChunkBytes));
      chunks_.push_back(Chunk{base, 0, 0});
      current_ = chunks_.size() - 1;
    }
    Chunk& chunk = chunks_[current_];
    void* memory = chunk.base + chunk.used;
    chunk.used += size;
    ++chunk.live;
    return memory;
  }

  void Give(void* memory) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto address = reinterpret_cast<std::uintptr_t>(memory);
    char* const base = reinterpret_cast<char*>(address / kChunkBytes * kChunkBytes);
    for (std::size_t k = 0; k < chunks_.size(); ++k) {
      if (chunks_[k].base != base) continue;
      if (--chunks_[k].live == 0 && k != current_) Unmap(k);
      return;
    }
  }

 private:
  struct Chunk {
    char* base;
    std::size_t used;
    std::size_t live;
  };
  static constexpr std::size_t kNone = SIZE_MAX;

  // Unmaps chunk k; the last chunk takes its place in the list.
  void Unmap(std::size_t k) {
    ::munmap(chunks_[k].base, kChunkBytes);
    const std::size_t last = chunks_.size() - 1;
    chunks_[k] = chunks_[last];
    chunks_.pop_back();
    if (current_ == last) current_ = k;
  }

  std::mutex mutex_;
  std::vector<Chunk> chunks_;
  std::size_t current_ = kNone;
};

ChunkPool& Pool() {
  static ChunkPool* const pool = new ChunkPool;  // outlives every static array
  return *pool;
}

}  // namespace

void* AcquireRecordMemory(std::size_t bytes) {
  if (bytes < kPooledFrom) {
    void* memory = ::operator new(bytes == 0 ? 1 : bytes);
    std::memset(memory, 0, bytes);
    return memory;
  }
  if (kCheckedHeap) {
    void* memory = std::calloc(1, bytes);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
  }
  // Pooled and mapped memory both come zeroed from the system.
  if (bytes < kMappedFrom) return Pool().Take(bytes);
  return MapAligned(RoundUp(bytes, kHugePage), kHugePage);
}

void ReleaseRecordMemory(void* memory, std::size_t bytes) noexcept {
  if (memory == nullptr) return;
  if (bytes < kPooledFrom) {
    ::operator delete(memory);
  } else if (kCheckedHeap) {
    std::free(memory);
  } else if (bytes < kMappedFrom) {
    Pool().Give(memory);
  } else {
    ::munmap(memory, RoundUp(bytes, kHugePage));
  }
}

}  // namespace trimwright
