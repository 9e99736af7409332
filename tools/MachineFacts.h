// What the bench reads about the machine it measures on, so that every table
// carries the conditions it was taken under: the processor, memory and kernel,
// the load, and the CPU time the whole machine and this process have used.
// Plain functions over /proc and the system calls; nothing is kept.
#ifndef TRIMWRIGHT_TOOLS_MACHINEFACTS_H_
#define TRIMWRIGHT_TOOLS_MACHINEFACTS_H_

#include <cstdint>
#include <string>

namespace trimwright::tools {

struct MachineFacts {
  int cores = 0;               // processors this process may run on, as nproc counts them
  std::string cpuModel;        // the first "model name" of /proc/cpuinfo; empty when none
  std::int64_t memoryKiB = 0;  // MemTotal of /proc/meminfo
  std::string kernel;          // the kernel's release, as uname -r prints it
};

MachineFacts ReadMachineFacts();

// The 1, 5 and 15 minute load averages as /proc/loadavg writes them
// ("0.96 1.03 1.10").
std::string ReadLoadAverage();

// The CPU time every processor of the machine has spent busy since it
// started (user, nice, system, interrupts and stolen time), in seconds.
double MachineBusySeconds();

// The user and system CPU time of this process and of every child it has
// waited for, in seconds.
double OwnCpuSeconds();

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_MACHINEFACTS_H_
