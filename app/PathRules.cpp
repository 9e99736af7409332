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

std::filesystem::path ResolvedPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path absolute = fs::absolute(FollowLinks(path), error);
  if (error) return fs::path(path).lexically_normal();
  const fs::path canonical = fs::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal() : canonical;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) return true;
  return ResolvedPath(a) == ResolvedPath(b);
}

std::string DeriveLogfileName(const std::string& pcmPath) {
  return pcmPath.substr(0, pcmPath.rfind('.')) + "_trw.txt";
}

}  // namespace trimwright
