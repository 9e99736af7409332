#include "app/PathRules.h"

namespace trimwright {

std::string FileExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

bool HasExtension(const std::string& path, const char* lower, const char* upper) {
  const std::string extension = FileExtension(path);
  return extension == lower || extension == upper;
}

bool IsLogPath(const std::string& path) {
  return HasExtension(path, "uni", "UNI") || HasExtension(path, "csv", "CSV") ||
         HasExtension(path, "txt", "TXT");
}

bool IsImagePath(const std::string& path) {
  return HasExtension(path, "bin", "BIN") || HasExtension(path, "lt1", "LT1");
}

std::string DeriveLogfileName(const std::string& pcmPath) {
  return pcmPath.substr(0, pcmPath.rfind('.')) + "_trw.txt";
}

}  // namespace trimwright
