#include "cli/CompareText.h"

#include <iomanip>
#include <locale>
#include <sstream>

#include "cli/PlanGrid.h"

namespace trimwright {

namespace {

// Offsets listed in full up to this many; the JSON has them all.
constexpr std::size_t kListedOffsets = 16;

std::string Describe(const CompareSource& source) {
  std::string text = source.path;
  if (source.entry > 0) {
    text += " as it was before entry #" + std::to_string(source.entry) + " of its history";
  }
  return text + " (." + source.extension + ", " + std::to_string(source.size) + " bytes)";
}

}  // namespace

std::string CompareText(const ImageComparison& comparison) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << "A: " << Describe(comparison.a) << "\nB: " << Describe(comparison.b) << "\n";
  out << VeChangeGrid(comparison.PlanGrid(),
                      "VE difference from A to B in percent of A (. the same, - missing)", false);
  out << comparison.Summary() << "\n";
  const int extended = comparison.DifferingExtendedRow2000();
  if (extended > 0) {
    out << "The extended table's copy of the 2000 rpm row: " << extended << " cell(s) differ\n";
  }
  if (!comparison.others.empty()) {
    out << "Other bytes that differ, at offsets of A:";
    for (std::size_t k = 0; k < comparison.others.size() && k < kListedOffsets; ++k) {
      out << " 0x" << std::uppercase << std::hex << std::setw(5) << std::setfill('0')
          << comparison.others[k].offsetA << std::dec << std::setfill(' ');
    }
    if (comparison.others.size() > kListedOffsets) {
      out << " and " << comparison.others.size() - kListedOffsets << " more";
    }
    out << "\n";
  }
  if (comparison.a.size != comparison.b.size) {
    out << "The images differ in length; bytes beyond the shorter one are not compared\n";
  }
  return out.str();
}

}  // namespace trimwright
