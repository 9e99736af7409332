#include "tools/MachineFacts.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>

namespace trimwright::tools {

namespace {

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

}  // namespace

MachineFacts ReadMachineFacts() {
  MachineFacts facts;
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof(allowed), &allowed) == 0) facts.cores = CPU_COUNT(&allowed);

  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    const std::string key = "model name";
    if (line.compare(0, key.size(), key) != 0) continue;
    const std::size_t colon = line.find(": ");
    if (colon != std::string::npos) facts.cpuModel = line.substr(colon + 2);
    break;
  }

  std::ifstream meminfo("/proc/meminfo");
  for (std::string name; meminfo >> name;) {
    if (name == "MemTotal:") {
      meminfo >> facts.memoryKiB;
      break;
    }
    meminfo.ignore(1 << 16, '\n');
  }

  utsname system;
  if (uname(&system) == 0) facts.kernel = system.release;
  return facts;
}

std::string ReadLoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

double MachineBusySeconds() {
  // The first line sums every processor: user nice system idle iowait irq
  // softirq steal, in clock ticks.
  std::ifstream file("/proc/stat");
  std::string label;
  long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
  file >> label >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
  const long ticksPerSecond = sysconf(_SC_CLK_TCK);
  if (label != "cpu" || ticksPerSecond <= 0) return 0.0;
  return static_cast<double>(user + nice + system + irq + softirq + steal) /
         static_cast<double>(ticksPerSecond);
}

double OwnCpuSeconds() {
  rusage self{};
  rusage children{};
  getrusage(RUSAGE_SELF, &self);
  getrusage(RUSAGE_CHILDREN, &children);
  return Seconds(self.ru_utime) + Seconds(self.ru_stime) + Seconds(children.ru_utime) +
         Seconds(children.ru_stime);
}

}  // namespace trimwright::tools
