#include "app/StoredPlan.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace trimwright {

namespace {

using Json = nlohmann::ordered_json;

// A bank's mean BLM of a stored cell, when it is a finite number.
std::optional<double> Average(const Json& cell, const char* bank) {
  if (!cell.contains(bank) || !cell[bank].is_object() || !cell[bank].contains("avg") ||
      !cell[bank]["avg"].is_number()) {
    return std::nullopt;
  }
  const double avg = cell[bank]["avg"].get<double>();
  return std::isfinite(avg) ? std::optional<double>(avg) : std::nullopt;
}

}  // namespace

std::optional<StoredPlan> StoredPlan::Parse(const std::string& json) {
  const Json plan = Json::parse(json, nullptr, false);
  if (!plan.is_object() || !plan.contains("trim_cells") || !plan["trim_cells"].is_array() ||
      !plan.contains("target_blm") || !plan["target_blm"].is_number_integer()) {
    return std::nullopt;
  }
  StoredPlan stored;
  stored.targetBlm = plan["target_blm"].get<std::int32_t>();
  if (plan.contains("records_used") && plan["records_used"].is_number_unsigned()) {
    stored.recordsUsed = plan["records_used"].get<std::uint32_t>();
  }
  if (plan.contains("limits") && plan["limits"].is_object()) {
    stored.limitsJson = plan["limits"].dump();
  }
  if (plan.contains("logs") && plan["logs"].is_array()) {
    stored.logs.emplace();
    for (const Json& log : plan["logs"]) {
      if (!log.is_object() || !log.contains("path") || !log["path"].is_string()) continue;
      Log entry{log["path"].get<std::string>(), std::nullopt};
      if (log.contains("records") && log["records"].is_number_unsigned()) {
        entry.records = log["records"].get<std::uint32_t>();
      }
      stored.logs->push_back(entry);
    }
  }
  for (const Json& cell : plan["trim_cells"]) {
    if (!cell.is_object() || !cell.contains("number") || !cell["number"].is_number_integer() ||
        !cell.contains("records") || !cell["records"].is_number_integer()) {
      return std::nullopt;
    }
    stored.trimCells.push_back(TrimCell{cell["number"].get<std::int32_t>(),
                                        cell["records"].get<std::int64_t>(), Average(cell, "left"),
                                        Average(cell, "right")});
  }
  return stored;
}

}  // namespace trimwright
