#include "app/PathRules.h"

#include <filesystem>
#include <system_error>

namespace trimwright {

std::string FileExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string FollowLinks(const std::string& path) {
  namespace fs = std::filesystem;
  // As many links as the kernel follows before it gives up on a loop.
  constexpr int kMostLinks = 40;
  fs::path current = path;
  for (int k = 0; k < kMostLinks; ++k) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(current, error))) return current.string();
    const fs::path target = fs::read_symlink(current, error);
    if (error) return current.string();
    current = target.is_absolute() ? target : (current.parent_path() / target).lexically_normal();
  }
  return path;
}

std::string DeriveLogfileName(const std::string& pcmPath) {
  return pcmPath.substr(0, pcmPath.rfind('.')) + "_trw.txt";
}

}  // namespace trimwright
