#include "fueltrim/TrimCellStats.h"

namespace trimwright {

void TrimCellStats::Print(std::ostream& out) const {
  out << number << ":\t" << records << "\tmap: " << mapLow << " - " << mapHigh
      << ", rpm: " << rpmLow << " - " << rpmHigh << std::endl;
  if (records > 0) {
    out << "\t\t" << left.min << "/" << left.avg << "/" << left.max << "\t" << right.min << "/"
        << right.avg << "/" << right.max << std::endl;
  }
  out << std::endl;
}

}  // namespace trimwright
