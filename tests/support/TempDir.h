// A fresh directory, by default under the system's temporary folder, removed
// with all its contents when the object goes away.
#ifndef TRIMWRIGHT_TESTS_SUPPORT_TEMPDIR_H_
#define TRIMWRIGHT_TESTS_SUPPORT_TEMPDIR_H_

#include <string>

namespace trimwright::testing {

class TempDir {
 public:
  // Under SystemFolder().
  TempDir();
  // Under base, which must exist.
  explicit TempDir(const std::string& base);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // The system's temporary folder: $TMPDIR when set and not empty, else /tmp.
  static std::string SystemFolder();

 private:
  std::string path_;
};

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_TEMPDIR_H_
