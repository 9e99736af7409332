// The texts of the pass window beside its tables: the line of what became of
// the pass's records with its table by log, the line of the limits in force,
// and the warnings of what they held back. Reads a plan; holds nothing and
// needs no widget.
#ifndef TRIMWRIGHT_GUI_PASSNOTES_H_
#define TRIMWRIGHT_GUI_PASSNOTES_H_

#include <QString>
#include <QStringList>
#include <cstdint>

#include "calibration/PassPlan.h"

namespace trimwright {

class PassNotes {
 public:
  // "Records: 420 read: 20 rejected (rpm 20), 50 not warm, ..." for the
  // pass's logs together; with nothing to tune, it says so first.
  static QString FatesLine(const PassPlan& plan);
  // The fates of each log and of all together as a small HTML table, with
  // the rules that rejected records and the records each cell used.
  static QString FatesTable(const PassPlan& plan);
  // "Limits on: ..." naming every limit and way of reading in force (with
  // its command-line option) and what each held back; empty without any.
  static QString LimitsLine(const PassPlan& plan);
  // One warning per fuel trim cell the record minimum held back and per VE
  // cell the cap, the total limit or a lock held.
  static QStringList LimitWarnings(const PassPlan& plan);
  // A count of records as the window writes it: digits in groups of three
  // ("1,000,000"), whatever the system's locale.
  static QString Count(std::uint64_t count);
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_PASSNOTES_H_
