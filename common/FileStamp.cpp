#include "common/FileStamp.h"

#include <sys/stat.h>

namespace trimwright {

FileStamp FileStamp::Of(const std::string& path) {
  struct stat status;
  FileStamp stamp;
  if (::stat(path.c_str(), &status) != 0) return stamp;
  stamp.exists = true;
  stamp.bytes = static_cast<std::int64_t>(status.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                     static_cast<std::int64_t>(status.st_mtim.tv_nsec);
  return stamp;
}

}  // namespace trimwright
