#include "app/PassProgress.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

#include "app/HistorySnapshot.h"

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

bool ReadStoredPlan(const StoredPlan& plan, ProgressPoint& point) {
  point.targetBlm = plan.targetBlm;
  const double target = point.targetBlm;
  if (plan.recordsUsed) point.recordsUsed = *plan.recordsUsed;
  point.limitsJson = plan.limitsJson;
  if (plan.logs) {
    point.logs.clear();
    for (const StoredPlan::Log& log : *plan.logs) point.logs.push_back({log.path, log.records});
  }
  DistanceSum both;
  DistanceSum left;
  DistanceSum right;
  point.cellsWithRecords = 0;
  for (const StoredPlan::TrimCell& cell : plan.trimCells) {
    if (cell.number < 0 || cell.number >= kIdleCell || cell.records <= 0) continue;
    if (!cell.left || !cell.right) return false;
    const double leftOff = std::fabs(*cell.left - target);
    const double rightOff = std::fabs(*cell.right - target);
    both.Add(cell.number, cell.records, std::max(leftOff, rightOff));
    left.Add(cell.number, cell.records, leftOff);
    right.Add(cell.number, cell.records, rightOff);
    ++point.cellsWithRecords;
  }
  point.planRead = true;
  point.distance = both.Result();
  point.left = left.Result();
  point.right = right.Result();
  return true;
}

std::vector<ProgressPoint> ReadProgress(const std::string& imagePath) {
  const HistorySnapshot snapshot = HistorySnapshot::Read(imagePath);
  std::vector<ProgressPoint> points;
  points.reserve(snapshot.entries().size());
  for (auto it = snapshot.entries().rbegin(); it != snapshot.entries().rend(); ++it) {
    const HistoryEntry& entry = *it;
    ProgressPoint& point = points.emplace_back();
    point.number = entry.sequence;
    point.name = entry.name;
    point.time = entry.time;
    point.damage = entry.damage;
    if (!entry.damage.empty()) continue;
    point.kind = KindName(entry.kind);
    point.imageAsLeft = snapshot.ImageAsLeftBy(entry);
    point.targetBlm = entry.targetBlm;
    point.rpmLimit = entry.rpmLimit;
    point.cellsChanged = entry.cellsChanged;
    for (const std::string& log : entry.logs) point.logs.push_back({log, std::nullopt});
    if (entry.IsUndo()) {
      point.undoes = snapshot.NumberOf(entry.undoes);
      continue;
    }
    point.undone = snapshot.Undone(entry);
    const std::optional<StoredPlan> plan = snapshot.Plan(entry);
    if (!plan || !ReadStoredPlan(*plan, point)) point.damage = "its pass.json cannot be read";
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
