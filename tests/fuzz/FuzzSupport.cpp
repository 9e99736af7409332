#include "tests/fuzz/FuzzSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace trimwright::fuzz {

namespace {

std::string CreateScratchFolder() {
  std::string base = "/tmp";
  std::error_code ignored;
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) base = tmp;
  if (std::filesystem::is_directory("/dev/shm", ignored) && ::access("/dev/shm", W_OK) == 0) {
    base = "/dev/shm";
  }
  if (const char* chosen = std::getenv("TRIMWRIGHT_FUZZ_SCRATCH"); chosen && *chosen) base = chosen;
  std::string pattern = base + "/trimwright-fuzz-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!::mkdtemp(buffer.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  return buffer.data();
}

void RemoveScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(ScratchFolder(), ignored);
}

}  // namespace

void Fail(const std::string& what, const char* file, int line) {
  std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what.c_str(), file, line);
  std::fflush(stderr);
  __builtin_trap();
}

bool Verbose() {
  static const bool verbose = std::getenv("TRIMWRIGHT_FUZZ_VERBOSE") != nullptr;
  return verbose;
}

SilencedStreams::SilencedStreams() : silenced_(!Verbose()) {
  if (!silenced_) return;
  out_ = std::cout.rdbuf(&null_);
  err_ = std::cerr.rdbuf(&null_);
  log_ = std::clog.rdbuf(&null_);
}

SilencedStreams::~SilencedStreams() {
  if (!silenced_) return;
  std::cout.rdbuf(out_);
  std::cerr.rdbuf(err_);
  std::clog.rdbuf(log_);
}

const std::string& ScratchFolder() {
  static const std::string folder = CreateScratchFolder();
  // Registered after the string's destructor, so the removal runs before it.
  static const bool removedAtExit = std::atexit(RemoveScratchFolder) == 0;
  static_cast<void>(removedAtExit);
  return folder;
}

std::string ScratchFile(const std::string& name) { return ScratchFolder() + "/" + name; }

void EmptyScratchFolder() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(ScratchFolder(), error)) {
    std::filesystem::remove_all(entry.path(), error);
    if (error) Fail("cannot empty the scratch folder: " + error.message(), __FILE__, __LINE__);
  }
  if (error) Fail("cannot list the scratch folder: " + error.message(), __FILE__, __LINE__);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) Fail("cannot write " + path, __FILE__, __LINE__);
}

std::optional<std::string> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!in || in.peek() != std::ifstream::traits_type::eof()) return std::nullopt;
  return bytes;
}

int OpenDescriptorCount() {
  DIR* folder = ::opendir("/proc/self/fd");
  if (!folder) Fail("cannot list /proc/self/fd", __FILE__, __LINE__);
  int count = 0;
  while (::readdir(folder)) ++count;
  ::closedir(folder);
  return count;
}

bool IsUnlocked(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return taken;
}

std::uint32_t TextRecordsInFile(const std::uint8_t* data, std::size_t size, int headerLines) {
  std::int64_t lines = 0;
  for (std::size_t k = 0; k < size; ++k) lines += data[k] == '\n' ? 1 : 0;
  if (size > 0 && data[size - 1] != '\n') ++lines;
  return static_cast<std::uint32_t>(std::max<std::int64_t>(lines - headerLines, 0));
}

void CheckAcceptedRecords(const LoggedData& log, std::uint32_t recordsInFile) {
  const std::uint32_t n = log.recordCount;
  TRIMWRIGHT_FUZZ_CHECK(n <= recordsInFile);
  TRIMWRIGHT_FUZZ_CHECK(log.rpm.size() >= n && log.map.size() >= n && log.blmLeft.size() >= n &&
                        log.blmRight.size() >= n && log.auxLeft.size() >= n &&
                        log.auxRight.size() >= n && log.blmCell.size() >= n &&
                        log.engineWarm.size() >= n && log.highThrottle.size() >= n);
  for (std::uint32_t k = 0; k < n; ++k) {
    TRIMWRIGHT_FUZZ_CHECK(InRange<int>(log.rpm[k], 500, 7000));
    TRIMWRIGHT_FUZZ_CHECK(InRange(log.map[k], 0.0f, 105.0f));
    TRIMWRIGHT_FUZZ_CHECK(InRange<int>(log.blmLeft[k], 0, 255) &&
                          InRange<int>(log.blmRight[k], 0, 255));
    TRIMWRIGHT_FUZZ_CHECK(InRange<int>(log.auxLeft[k], 0, 255) &&
                          InRange<int>(log.auxRight[k], 0, 255));
    TRIMWRIGHT_FUZZ_CHECK(InRange<int>(log.blmCell[k], 0, 18));
    TRIMWRIGHT_FUZZ_CHECK(log.engineWarm[k] <= 1 && log.highThrottle[k] <= 1);
  }
}

void CheckTextRecords(const LoggedData& log, const RecordArray<float>& temperature,
                      float lowestTemperature, float highestTemperature) {
  const std::uint32_t n = log.recordCount;
  TRIMWRIGHT_FUZZ_CHECK(log.throttle.size() >= n && temperature.size() >= n);
  for (std::uint32_t k = 0; k < n; ++k) {
    TRIMWRIGHT_FUZZ_CHECK(InRange(log.throttle[k], 0.0f, 100.0f));
    TRIMWRIGHT_FUZZ_CHECK(InRange(temperature[k], lowestTemperature, highestTemperature));
  }
}

}  // namespace trimwright::fuzz
