// What a file looked like on disk at one moment: whether it existed, its size
// and its modification time. A pass notes the stamps of its inputs, so that
// writing a previewed pass later can tell whether they changed meanwhile.
#ifndef TRIMWRIGHT_COMMON_FILESTAMP_H_
#define TRIMWRIGHT_COMMON_FILESTAMP_H_

#include <cstdint>
#include <string>

namespace trimwright {

struct FileStamp {
  bool exists = false;
  std::int64_t bytes = 0;
  std::int64_t modifiedNs = 0;  // nanoseconds since the epoch

  static FileStamp Of(const std::string& path);
  bool operator==(const FileStamp&) const = default;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_COMMON_FILESTAMP_H_
