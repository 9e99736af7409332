#include "calibration/RecordFates.h"

#include <numeric>

#include "common/Diagnostics.h"

namespace trimwright {

std::uint64_t RecordFates::Rejected() const {
  return std::accumulate(rejected.begin(), rejected.end(), noFuelTrimCell);
}

std::uint64_t RecordFates::Used() const {
  return std::accumulate(used.begin(), used.end(), std::uint64_t{0});
}

std::uint64_t RecordFates::Counted() const {
  return Rejected() + notWarm + highThrottle + outsideAuxWindow + Used();
}

RecordFates& RecordFates::operator+=(const RecordFates& other) {
  read += other.read;
  for (std::size_t rule = 0; rule < rejected.size(); ++rule) rejected[rule] += other.rejected[rule];
  noFuelTrimCell += other.noFuelTrimCell;
  notWarm += other.notWarm;
  highThrottle += other.highThrottle;
  outsideAuxWindow += other.outsideAuxWindow;
  for (std::size_t cell = 0; cell < used.size(); ++cell) used[cell] += other.used[cell];
  return *this;
}

std::string RejectionsText(const RecordFates& fates) {
  std::string text;
  auto add = [&text](const char* name, std::uint64_t count) {
    if (count == 0) return;
    text += (text.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(count);
  };
  for (std::size_t rule = 1; rule < kRejectionSlots; ++rule) {
    add(RejectionName(static_cast<Rejection>(rule)), fates.rejected[rule]);
  }
  add(kNoFuelTrimCellName, fates.noFuelTrimCell);
  return text.empty() ? "none" : text;
}

std::string FatesLine(const RecordFates& fates) {
  const std::uint64_t rejected = fates.Rejected();
  return StreamedText(fates.read, " read: ", rejected, " rejected",
                      rejected > 0 ? " (" + RejectionsText(fates) + ")" : std::string(), ", ",
                      fates.notWarm, " not warm, ", fates.highThrottle, " at high throttle, ",
                      fates.outsideAuxWindow, " outside the second trim window, ", fates.Used(),
                      " used");
}

}  // namespace trimwright
