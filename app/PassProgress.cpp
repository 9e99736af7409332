#include "app/PassProgress.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <map>

#include "app/PassHistory.h"
#include "calibration/ImageFile.h"
#include "common/Sha256.h"

namespace trimwright {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kProgressFormatVersion = 1;
// The idle cell's number; the cells below it are the fuel trim table's.
constexpr std::int32_t kIdleCell = 16;

// Sums towards a record-weighted mean and the worst cell.
class DistanceSum {
 public:
  void Add(std::int32_t cell, std::int64_t records, double counts) {
    weighted_ += counts * static_cast<double>(records);
    records_ += records;
    if (worstCell_ < 0 || counts > worst_) {
      worst_ = counts;
      worstCell_ = cell;
    }
  }
  std::optional<TrimDistance> Result() const {
    if (records_ <= 0) return std::nullopt;
    return TrimDistance{weighted_ / static_cast<double>(records_), worst_, worstCell_};
  }

 private:
  double weighted_ = 0.0;
  std::int64_t records_ = 0;
  double worst_ = 0.0;
  std::int32_t worstCell_ = -1;
};

// "2026-12-09 10:15:00" as "2026-12-09T10:15:00Z".
std::string IsoTime(const std::string& time) {
  if (time.size() != 19 || time[10] != ' ') return time;
  return time.substr(0, 10) + "T" + time.substr(11) + "Z";
}

Json DistanceJson(const std::optional<TrimDistance>& distance) {
  if (!distance) return nullptr;
  return Json{
      {"mean", distance->mean}, {"worst", distance->worst}, {"worst_cell", distance->worstCell}};
}

}  // namespace

bool ReadStoredPlan(const std::string& planJson, ProgressPoint& point) {
  const Json plan = Json::parse(planJson, nullptr, false);
  if (!plan.is_object() || !plan.contains("trim_cells") || !plan["trim_cells"].is_array() ||
      !plan.contains("target_blm") || !plan["target_blm"].is_number_integer()) {
    return false;
  }
  point.targetBlm = plan["target_blm"].get<std::int32_t>();
  const double target = point.targetBlm;
  if (plan.contains("records_used") && plan["records_used"].is_number_unsigned()) {
    point.recordsUsed = plan["records_used"].get<std::uint32_t>();
  }
  if (plan.contains("limits") && plan["limits"].is_object())
    point.limitsJson = plan["limits"].dump();
  if (plan.contains("logs") && plan["logs"].is_array()) {
    point.logs.clear();
    for (const Json& log : plan["logs"]) {
      if (!log.is_object() || !log.contains("path") || !log["path"].is_string()) continue;
      ProgressPoint::Log entry{log["path"].get<std::string>(), std::nullopt};
      if (log.contains("records") && log["records"].is_number_unsigned()) {
        entry.records = log["records"].get<std::uint32_t>();
      }
      point.logs.push_back(entry);
    }
  }
  DistanceSum both;
  DistanceSum left;
  DistanceSum right;
  point.cellsWithRecords = 0;
  for (const Json& cell : plan["trim_cells"]) {
    if (!cell.is_object() || !cell.contains("number") || !cell["number"].is_number_integer() ||
        !cell.contains("records") || !cell["records"].is_number_integer()) {
      return false;
    }
    const auto number = cell["number"].get<std::int32_t>();
    const auto records = cell["records"].get<std::int64_t>();
    if (number < 0 || number >= kIdleCell || records <= 0) continue;
    const auto average = [&cell](const char* bank, double& avg) {
      if (!cell.contains(bank) || !cell[bank].is_object() || !cell[bank].contains("avg") ||
          !cell[bank]["avg"].is_number()) {
        return false;
      }
      avg = cell[bank]["avg"].get<double>();
      return std::isfinite(avg);
    };
    double leftAvg = 0.0;
    double rightAvg = 0.0;
    if (!average("left", leftAvg) || !average("right", rightAvg)) return false;
    const double leftOff = std::fabs(leftAvg - target);
    const double rightOff = std::fabs(rightAvg - target);
    both.Add(number, records, std::max(leftOff, rightOff));
    left.Add(number, records, leftOff);
    right.Add(number, records, rightOff);
    ++point.cellsWithRecords;
  }
  point.planRead = true;
  point.distance = both.Result();
  point.left = left.Result();
  point.right = right.Result();
  return true;
}

std::vector<ProgressPoint> ReadProgress(const std::string& imagePath) {
  // Held while the history is read, so that no pass changes it meanwhile.
  const std::shared_ptr<ImageFile> image = ImageFile::OpenLocked(imagePath, true);
  const std::string current = Sha256Hex(image->ReadAll());
  const PassHistory history(imagePath);
  std::vector<HistoryEntry> entries = history.List(current);
  std::reverse(entries.begin(), entries.end());

  std::map<std::string, std::uint64_t> numbers;
  for (const HistoryEntry& entry : entries) numbers[entry.name] = entry.sequence;
  std::vector<ProgressPoint> points;
  std::map<std::string, ProgressPoint*> passes;
  points.reserve(entries.size());
  for (const HistoryEntry& entry : entries) {
    ProgressPoint& point = points.emplace_back();
    point.number = entry.sequence;
    point.name = entry.name;
    point.time = entry.time;
    point.damage = entry.damage;
    if (!entry.damage.empty()) continue;
    point.kind = KindName(entry.kind);
    point.imageAsLeft = entry.afterSha256 == current;
    point.targetBlm = entry.targetBlm;
    point.rpmLimit = entry.rpmLimit;
    point.cellsChanged = entry.cellsChanged;
    for (const std::string& log : entry.logs) point.logs.push_back({log, std::nullopt});
    if (entry.IsUndo()) {
      const auto undone = passes.find(entry.undoes);
      if (undone != passes.end()) undone->second->undone = true;
      const auto number = numbers.find(entry.undoes);
      if (number != numbers.end()) point.undoes = number->second;
      continue;
    }
    passes[entry.name] = &point;
    std::string json;
    if (!history.StoredPlan(entry, json) || !ReadStoredPlan(json, point)) {
      point.damage = "its pass.json cannot be read";
    }
  }
  return points;
}

std::string ProgressJson(const std::string& imagePath, const std::vector<ProgressPoint>& points) {
  Json passes = Json::array();
  for (const ProgressPoint& point : points) {
    const bool pass = point.kind == "pass";
    Json logs = Json::array();
    for (const ProgressPoint::Log& log : point.logs) {
      logs.push_back(
          Json{{"path", log.path}, {"records", log.records ? Json(*log.records) : Json(nullptr)}});
    }
    Json json;
    json["number"] = point.number;
    json["entry"] = point.name;
    json["time"] = IsoTime(point.time);
    json["kind"] = point.kind.empty() ? Json(nullptr) : Json(point.kind);
    json["undone"] = point.undone;
    json["undoes"] = point.undoes ? Json(point.undoes) : Json(nullptr);
    json["damaged"] = point.damage.empty() ? Json(nullptr) : Json(point.damage);
    json["image_as_left"] = point.imageAsLeft;
    json["logs"] = logs;
    json["records_used"] = point.planRead ? Json(point.recordsUsed) : Json(nullptr);
    json["target_blm"] = pass ? Json(point.targetBlm) : Json(nullptr);
    json["rpm_limit"] = pass ? Json(point.rpmLimit) : Json(nullptr);
    json["cells_changed"] = pass ? Json(point.cellsChanged) : Json(nullptr);
    json["limits"] = point.limitsJson.empty() ? Json(nullptr) : Json::parse(point.limitsJson);
    json["cells_with_records"] = point.planRead ? Json(point.cellsWithRecords) : Json(nullptr);
    json["distance"] = DistanceJson(point.distance);
    json["banks"] = point.distance ? Json{{"left", DistanceJson(point.left)},
                                          {"right", DistanceJson(point.right)}}
                                   : Json(nullptr);
    passes.push_back(json);
  }
  Json json;
  json["version"] = kProgressFormatVersion;
  json["image"] = imagePath;
  json["passes"] = passes;
  return json.dump(2) + "\n";
}

}  // namespace trimwright
