#include "app/PlanJson.h"

#include <nlohmann/json.hpp>

namespace trimwright {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kPlanFormatVersion = 1;

Json CellJson(const VECellPlan& cell) {
  Json json;
  json["rpm"] = cell.rpm;
  json["kpa"] = cell.kpa;
  json["old"] = cell.inImage ? Json(cell.oldValue) : Json(nullptr);
  json["new"] = cell.inImage ? Json(cell.newValue) : Json(nullptr);
  json["factor"] = cell.tuned ? Json(cell.factor) : Json(nullptr);
  json["idle_factor"] = cell.tuned && cell.idle ? Json(cell.idleFactor) : Json(nullptr);
  json["applied_factor"] = cell.tuned ? Json(cell.appliedFactor) : Json(nullptr);
  json["capped"] = cell.capped || cell.totalCapped;
  json["overflow"] = cell.overflow;
  json["tuned"] = cell.tuned;
  json["hits"] = cell.hits;
  json["table"] = cell.extended ? "extended" : "main";
  json["offset"] = cell.offset >= 0 ? Json(cell.offset) : Json(nullptr);
  // Added after the first keys, which keep their order and meaning.
  json["idle_hits"] = cell.idleHits;
  return json;
}

Json BankJson(const TrimCellStats& cell, const BlmStats& bank) {
  if (cell.records <= 0) return nullptr;
  return Json{{"min", bank.min}, {"avg", bank.avg}, {"max", bank.max}};
}

Json TrimCellJson(const TrimCellStats& cell) {
  return Json{{"number", cell.number},
              {"records", cell.records},
              {"rpm_range", {cell.rpmLow, cell.rpmHigh}},
              {"map_range", {cell.mapLow, cell.mapHigh}},
              {"left", BankJson(cell, cell.left)},
              {"right", BankJson(cell, cell.right)}};
}

Json VeRangeJson(const VeTableRange& range) {
  if (!range.present) return nullptr;
  return Json{{"rpm_range", {range.firstRpm, range.lastRpm}},
              {"min", range.low},
              {"max", range.high},
              {"min_percent", static_cast<float>(range.low) * kVePercentPerCount},
              {"max_percent", static_cast<float>(range.high) * kVePercentPerCount}};
}

// Every rule and every cell is listed, with 0 where no record went, so that
// read is the sum of all the other counts.
Json FatesJson(const RecordFates& fates) {
  Json rejected = Json::object();
  for (std::size_t rule = 1; rule < kRejectionSlots; ++rule) {
    rejected[RejectionName(static_cast<Rejection>(rule))] = fates.rejected[rule];
  }
  rejected[kNoFuelTrimCellName] = fates.noFuelTrimCell;
  Json used = Json::object();
  for (std::size_t cell = 0; cell < fates.used.size(); ++cell) {
    used[std::to_string(cell)] = fates.used[cell];
  }
  return Json{{"read", fates.read},
              {"rejected", rejected},
              {"not_warm", fates.notWarm},
              {"high_throttle", fates.highThrottle},
              {"outside_aux_window", fates.outsideAuxWindow},
              {"used", used}};
}

Json ImageCheckJson(const ImageCheck& check) {
  Json halves = Json::array();
  for (const HalfChecksum& half : check.halves()) {
    halves.push_back(Json{{"offset", half.offset},
                          {"holds", half.veTables ? "ve_tables" : "fuel_trim_boundaries"},
                          {"stored", half.present ? Json(half.stored) : Json(nullptr)},
                          {"computed", half.present ? Json(half.computed) : Json(nullptr)},
                          {"sound", half.Holds()}});
  }
  Json boundaries = nullptr;
  if (check.boundaryBytes()) {
    const auto& bytes = *check.boundaryBytes();
    boundaries = Json{{"rpm", {bytes[0] * 25, bytes[1] * 25, bytes[2] * 25}},
                      {"kpa", {bytes[3], bytes[4], bytes[5]}}};
  }
  return Json{
      {"sound", check.Sound()},
      {"layout", check.layout().className},
      {"size", check.size()},
      {"checksums", halves},
      {"looks_like_other_layout", check.looksSwapped()},
      {"fuel_trim_boundaries", boundaries},
      {"ve_tables",
       {{"main", VeRangeJson(check.mainVe())}, {"extended", VeRangeJson(check.extendedVe())}}},
      {"problems", check.problems()}};
}

// A VE cell a limit held, by its labels and table, with the factor found.
Json HeldCellJson(const VECellPlan& cell) {
  return Json{{"rpm", cell.rpm},
              {"kpa", cell.kpa},
              {"table", cell.extended ? "extended" : "main"},
              {"factor", cell.idle ? cell.blendedFactor : cell.factor}};
}

void AddTotalLimitAndLocks(Json& limits, const PassPlan& plan) {
  const PassLimits& set = plan.limits;
  limits["max_total_change_percent"] =
      set.maxTotalChangePercent ? Json(*set.maxTotalChangePercent) : Json(nullptr);
  limits["baseline"] =
      set.maxTotalChangePercent && set.baseline ? Json(set.baseline->source) : Json(nullptr);
  Json totalCapped = Json::array();
  Json locked = Json::array();
  for (const VECellPlan& cell : plan.tunedCells) {
    if (cell.totalCapped) {
      Json held = HeldCellJson(cell);
      held["applied_factor"] = cell.appliedFactor;
      held["baseline"] = cell.baselineValue;
      held["old"] = cell.oldValue;
      held["new"] = cell.newValue;
      totalCapped.push_back(held);
    }
    if (cell.locked) locked.push_back(HeldCellJson(cell));
  }
  limits["total_capped_cells"] = totalCapped;
  Json locks = Json::array();
  for (const GridCell& cell : set.locked)
    locks.push_back(Json{{"rpm", cell.rpm}, {"kpa", cell.kpa}});
  limits["locks"] = locks;
  limits["locked_cells"] = locked;
}

}  // namespace

std::string PlanJson(const PassPlan& plan, bool dryRun) {
  Json json;
  json["version"] = kPlanFormatVersion;
  json["dry_run"] = dryRun;
  json["target_blm"] = plan.targetBlm;
  json["rpm_limit"] = plan.rpmLimit;
  json["log"] = plan.logs.empty() ? Json(nullptr) : Json(plan.logs.front().path);
  Json logs = Json::array();
  for (const LogSummary& log : plan.logs) {
    logs.push_back(
        Json{{"path", log.path}, {"records", log.records}, {"record_fates", FatesJson(log.fates)}});
  }
  json["logs"] = logs;
  json["record_fates"] = FatesJson(plan.Fates());
  json["image"] = plan.imagePath;
  json["image_format"] = plan.imageFormat;
  json["image_sha256"] = plan.imageSha256;
  json["image_check"] = plan.imageCheck ? ImageCheckJson(*plan.imageCheck) : Json(nullptr);
  json["checksum"] = Json{{"old", plan.oldChecksum}, {"new", plan.newChecksum}};
  json["cells_changed"] = plan.CellsChanged();
  json["records_used"] = plan.RecordsUsed();
  json["overflow"] = plan.overflow;

  const PassLimits& limits = plan.limits;
  Json filtered = Json::array();
  for (const FilteredCell& cell : plan.auxFilteredCells) {
    filtered.push_back(Json{{"cell", cell.number}, {"records", cell.records}});
  }
  json["limits"] =
      Json{{"min_records", limits.minRecords ? Json(*limits.minRecords) : Json(nullptr)},
           {"max_change_percent",
            limits.maxChangePercent ? Json(*limits.maxChangePercent) : Json(nullptr)},
           {"aux_window",
            limits.auxWindow ? Json{limits.auxWindow->low, limits.auxWindow->high} : Json(nullptr)},
           {"add_second_trim", limits.addSecondTrim},
           {"smooth", limits.smooth},
           {"held_back_cells", plan.heldBackCells},
           {"aux_filtered_records", plan.auxFilteredRecords},
           {"aux_filtered_cells", filtered}};
  AddTotalLimitAndLocks(json["limits"], plan);

  Json cells = Json::array();
  for (const VECellPlan& cell : plan.grid) cells.push_back(CellJson(cell));
  json["ve_cells"] = cells;
  Json extended = Json::array();
  for (const VECellPlan& cell : plan.extendedRow2000) extended.push_back(CellJson(cell));
  json["extended_row_2000"] = extended;

  Json trims = Json::array();
  for (const TrimCellStats& cell : plan.trimCells) trims.push_back(TrimCellJson(cell));
  trims.push_back(TrimCellJson(plan.idleCell));
  json["trim_cells"] = trims;
  // A warning that came several times is listed once, with its count.
  Json warnings = Json::array();
  for (const PassPlan::CountedWarning& warning : plan.DistinctWarnings()) {
    warnings.push_back(warning.Listed());
  }
  json["warnings"] = warnings;
  return json.dump(2) + "\n";
}

}  // namespace trimwright
