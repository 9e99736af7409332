// What a history entry keeps of its pass's plan (its pass.json) that the
// history's views read back: the target, the logs with their records, the
// records used, the limits, and each fuel trim cell's records and mean BLMs.
// The one parser of a stored plan; a plain value.
#ifndef TRIMWRIGHT_APP_STOREDPLAN_H_
#define TRIMWRIGHT_APP_STOREDPLAN_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trimwright {

struct StoredPlan {
  struct Log {
    std::string path;
    std::optional<std::uint32_t> records;
  };
  struct TrimCell {
    std::int32_t number = 0;
    std::int64_t records = 0;
    // The mean BLMs; nothing where the plan holds none (a cell without
    // records, or a value that is not a number).
    std::optional<double> left;
    std::optional<double> right;
  };

  std::int32_t targetBlm = 0;
  std::optional<std::uint32_t> recordsUsed;
  std::string limitsJson;  // the "limits" object as JSON text; empty without one
  std::optional<std::vector<Log>> logs;
  std::vector<TrimCell> trimCells;

  // The plan in a pass's JSON text; nothing when the text is not one (not an
  // object, no integer target_blm, no trim_cells array, or a cell without an
  // integer number and records).
  static std::optional<StoredPlan> Parse(const std::string& json);
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_STOREDPLAN_H_
