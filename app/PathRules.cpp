#include "app/PathRules.h"

namespace trimwright {

std::string FileExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string DeriveLogfileName(const std::string& pcmPath) {
  return pcmPath.substr(0, pcmPath.rfind('.')) + "_trw.txt";
}

}  // namespace trimwright
