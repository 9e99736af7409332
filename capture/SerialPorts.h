// The serial ports present on the machine, in the order a tuner picks from:
// the stable names under serial/by-id first (each with the device it leads
// to), then the USB adapters (ttyUSB*, ttyACM*) and the built-in ports
// (ttyS*) that exist. Functions only; the list is a plain value.
#ifndef TRIMWRIGHT_CAPTURE_SERIALPORTS_H_
#define TRIMWRIGHT_CAPTURE_SERIALPORTS_H_

#include <string>
#include <vector>

namespace trimwright {

struct SerialPort {
  std::string path;
  // Where a by-id name leads (its resolved link); empty for the others.
  std::string target;
};

// The ports under devRoot ("/dev"), by-id names in name order, then ttyUSB,
// ttyACM and ttyS each in number order (ttyS2 before ttyS10); a by-id name
// that leads nowhere is left out. A built-in
// port whose kind sysRoot ("/sys") gives as none (type 0, no chip behind it,
// as most ttyS are) is left out. Never throws; a folder that cannot be read
// lists nothing.
std::vector<SerialPort> ListSerialPorts(const std::string& devRoot = "/dev",
                                        const std::string& sysRoot = "/sys");

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_SERIALPORTS_H_
