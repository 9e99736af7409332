#include "capture/SerialPorts.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace trimwright {

namespace {

namespace fs = std::filesystem;

// The names in folder, sorted; none when it cannot be read.
std::vector<std::string> NamesIn(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The number after prefix in name, or -1 when name is not prefix and digits.
long PortNumber(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
  long number = 0;
  for (std::size_t k = prefix.size(); k < name.size(); ++k) {
    if (name[k] < '0' || name[k] > '9' || number > 1000000) return -1;
    number = number * 10 + (name[k] - '0');
  }
  return number;
}

// A built-in port with no chip behind it: the kernel makes ttyS0 to ttyS31
// whatever the machine has, and says "0" for the kind of the absent ones.
bool NoChipBehind(const fs::path& sysRoot, const std::string& name) {
  std::ifstream type(sysRoot / "class/tty" / name / "type");
  std::string kind;
  return type && std::getline(type, kind) && kind == "0";
}

}  // namespace

std::vector<SerialPort> ListSerialPorts(const std::string& devRoot, const std::string& sysRoot) {
  std::vector<SerialPort> ports;
  const fs::path byId = fs::path(devRoot) / "serial/by-id";
  for (const std::string& name : NamesIn(byId)) {
    std::error_code error;
    const fs::path target = fs::canonical(byId / name, error);
    if (error) continue;  // a name left behind by a cable unplugged
    ports.push_back({(byId / name).string(), target.string()});
  }
  const std::vector<std::string> devices = NamesIn(devRoot);
  for (const std::string prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
    std::vector<std::pair<long, std::string>> numbered;
    for (const std::string& name : devices) {
      const long number = PortNumber(name, prefix);
      if (number < 0 || (prefix == "ttyS" && NoChipBehind(sysRoot, name))) continue;
      numbered.emplace_back(number, name);
    }
    std::sort(numbered.begin(), numbered.end());
    for (const auto& [number, name] : numbered) {
      ports.push_back({(fs::path(devRoot) / name).string(), std::string()});
    }
  }
  return ports;
}

}  // namespace trimwright
