// A fresh directory, by default under the system's temporary folder, removed
// with all its contents when the object goes away.
#ifndef TRIMWRIGHT_TOOLS_SCRATCHDIR_H_
#define TRIMWRIGHT_TOOLS_SCRATCHDIR_H_

#include <string>

namespace trimwright::tools {

class ScratchDir {
 public:
  // Under SystemFolder().
  ScratchDir();
  // Under base, which must exist.
  explicit ScratchDir(const std::string& base);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // The system's temporary folder: $TMPDIR when set and not empty, else /tmp.
  static std::string SystemFolder();

 private:
  std::string path_;
};

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_SCRATCHDIR_H_
