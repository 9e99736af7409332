#include "app/HistoryCommands.h"

#include <algorithm>
#include <cstdio>
#include <locale>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include "app/HistorySnapshot.h"
#include "app/PassHistory.h"
#include "app/StoredPlan.h"
#include "calibration/CellRange.h"
#include "calibration/ImageFile.h"
#include "common/NumberText.h"
#include "common/Sha256.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

// The sequence number of an entry name, without its leading zeros.
std::string SequenceOf(const std::string& name) {
  const std::size_t start = std::min(name.find_first_not_of('0'), name.size());
  return name.substr(start, name.find('-') - start);
}

// What differs between the image as it is and as a pass left it.
std::string Difference(const std::string& now, const std::string& expected) {
  if (now.size() != expected.size()) {
    return "it is " + std::to_string(now.size()) + " bytes long, the pass left " +
           std::to_string(expected.size());
  }
  std::size_t count = 0;
  std::size_t first = 0;
  std::size_t last = 0;
  for (std::size_t k = 0; k < now.size(); ++k) {
    if (now[k] == expected[k]) continue;
    if (count++ == 0) first = k;
    last = k;
  }
  return std::to_string(count) + " byte(s) differ, from offset " + HexText(first) + " to " +
         HexText(last);
}

std::string Number(const nlohmann::json& value) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << value.get<double>();
  return text.str();
}

// The limits and locks a pass ran with, from the plan its entry stored: one
// line for the limits, and one for the locks when it had any.
std::string LimitsOfPass(const HistorySnapshot& snapshot, const HistoryEntry& entry) {
  const std::optional<StoredPlan> plan = snapshot.Plan(entry);
  if (!plan || plan->limitsJson.empty()) {
    return "    limits: unknown (the entry's pass.json cannot be read)\n";
  }
  const StoredLimits described = DescribeStoredLimits(plan->limitsJson);
  return "    limits: " + described.limits + "\n" +
         (described.locks.empty() ? "" : "    locks: " + described.locks + "\n");
}

}  // namespace

StoredLimits DescribeStoredLimits(const std::string& limitsJson) {
  const nlohmann::json limits = nlohmann::json::parse(limitsJson, nullptr, false);
  if (!limits.is_object()) return StoredLimits{"unknown", ""};
  auto has = [&limits](const char* key) {
    return limits.contains(key) && !limits[key].is_null() && limits[key] != false;
  };
  std::vector<std::string> parts;
  if (has("max_change_percent")) {
    parts.push_back("largest change " + Number(limits["max_change_percent"]) + "% per pass");
  }
  if (has("max_total_change_percent")) {
    parts.push_back("largest total change " + Number(limits["max_total_change_percent"]) +
                    "% from " +
                    (has("baseline") ? limits["baseline"].get<std::string>() : "the baseline"));
  }
  if (has("min_records")) {
    parts.push_back("at least " + limits["min_records"].dump() + " records per fuel trim cell");
  }
  if (has("aux_window") && limits["aux_window"].size() == 2) {
    parts.push_back("second trim window " + limits["aux_window"][0].dump() + "-" +
                    limits["aux_window"][1].dump());
  }
  if (has("add_second_trim")) parts.push_back("second trim added");
  if (has("smooth")) parts.push_back("smoothed");
  StoredLimits text;
  for (std::size_t k = 0; k < parts.size(); ++k) text.limits += (k ? ", " : "") + parts[k];
  if (parts.empty()) text.limits = "none";
  std::vector<GridCell> locks;
  if (limits.contains("locks") && limits["locks"].is_array()) {
    for (const nlohmann::json& cell : limits["locks"]) {
      if (cell.contains("rpm") && cell.contains("kpa") && cell["rpm"].is_number_integer() &&
          cell["kpa"].is_number_integer()) {
        locks.push_back(GridCell{cell["rpm"].get<std::int32_t>(), cell["kpa"].get<std::int32_t>()});
      }
    }
  }
  if (!locks.empty()) {
    text.locks = std::to_string(locks.size()) + " VE cell(s) held (" + DescribeCells(locks) + ")";
  }
  return text;
}

std::string DescribePass(const HistoryEntry& entry) {
  std::string text = "#" + std::to_string(entry.sequence) + " of " + entry.time + " UTC";
  if (!entry.logs.empty()) {
    text += " from";
    for (std::size_t k = 0; k < entry.logs.size(); ++k) text += (k ? ", " : " ") + entry.logs[k];
  }
  return text;
}

std::string HistoryListing(const std::string& imagePath) {
  const HistorySnapshot snapshot = HistorySnapshot::Read(imagePath);
  if (snapshot.entries().empty()) return "No passes recorded for " + imagePath + "\n";

  std::string text = "History of " + imagePath + ", newest first:\n";
  for (const HistoryEntry& entry : snapshot.entries()) {
    text += "#" + std::to_string(entry.sequence) + "  " + entry.time + " UTC  ";
    if (!entry.damage.empty()) {
      text += "damaged: " + entry.damage + " (" + entry.name + ")\n";
      continue;
    }
    if (entry.IsUndo()) {
      text += "undo of #" + SequenceOf(entry.undoes) + "\n";
    } else {
      text += "pass\n    logs:";
      for (const std::string& log : entry.logs) text += " " + log;
      text += "\n    target BLM " + std::to_string(entry.targetBlm) + ", rpm limit " +
              std::to_string(entry.rpmLimit) + ", " + std::to_string(entry.cellsChanged) +
              " cells changed\n";
      text += LimitsOfPass(snapshot, entry);
    }
    text += "    image: ";
    if (snapshot.ImageAsLeftBy(entry)) {
      text += std::string("as this ") + KindName(entry.kind) + " left it";
    } else {
      text += "changed since";
    }
    if (entry.IsPass() && snapshot.Undone(entry)) text += " (undone)";
    text += "\n";
  }
  if (const std::optional<BaselineRecord> baseline = snapshot.history().KeptBaseline()) {
    text += "Baseline of the total limit: " + baseline->Describe() + ", kept for good in " +
            snapshot.history().folder() + "/baseline\n";
  }
  return text;
}

std::optional<UndoCandidate> NewestPassToUndo(const std::string& imagePath) {
  const HistorySnapshot snapshot = HistorySnapshot::Read(imagePath);
  const HistoryEntry* target = snapshot.NewestNotUndone(imagePath, false);
  if (!target) return std::nullopt;
  UndoCandidate candidate{*target, snapshot.ImageAsLeftBy(*target), ""};
  if (!candidate.imageAsLeft) {
    candidate.difference = Difference(snapshot.image(), snapshot.history().ImageLeftBy(*target));
  }
  return candidate;
}

UndoResult UndoLastPass(const std::string& imagePath, bool force, int keepHistory,
                        FileSystem& fileSystem) {
  const std::shared_ptr<ImageFile> image = ImageFile::OpenLocked(imagePath, false, fileSystem);
  const std::string now = image->ReadAll();
  const std::string nowSha = Sha256Hex(now);

  PassHistory history(imagePath, fileSystem);
  history.Recover(nowSha);
  const HistorySnapshot snapshot(history, now);
  std::vector<const HistoryEntry*> skipped;
  const HistoryEntry* target = snapshot.NewestNotUndone(imagePath, force, &skipped);
  if (!target) {
    return UndoResult{RunOutcome::kEndedEarly, "No pass of " + imagePath + " is left to undo in " +
                                                   PassHistory::FolderFor(imagePath)};
  }

  const std::string restored = history.SavedImage(*target);
  if (nowSha != target->afterSha256 && !force) {
    throw TrimwrightError("The image " + imagePath + " is not as pass " + DescribePass(*target) +
                          " left it (" + Difference(now, history.ImageLeftBy(*target)) +
                          "); nothing was written. --force puts back the image from before "
                          "that pass anyway");
  }
  if (restored.size() != now.size()) {
    throw TrimwrightError("The image " + imagePath + " is " + std::to_string(now.size()) +
                          " bytes long, the saved one " + std::to_string(restored.size()) +
                          "; nothing was written");
  }

  HistoryEntry entry;
  entry.kind = EntryKind::kUndo;
  entry.undoes = target->name;
  entry.beforeSha256 = nowSha;
  entry.afterSha256 = target->beforeSha256;
  history.Prepare(entry, now, "", "");

  // One write of the stretch that differs, as a pass writes its region.
  std::size_t first = 0;
  while (first < now.size() && now[first] == restored[first]) ++first;
  std::size_t end = now.size();
  while (end > first && now[end - 1] == restored[end - 1]) --end;
  if (end > first) {
    try {
      image->Replace(static_cast<std::int64_t>(first), now.substr(first, end - first),
                     restored.substr(first, end - first));
    } catch (const ImageWriteError& error) {
      // An image that holds the restored bytes keeps the undo's entry; one
      // as it was, or in between, keeps the pass not undone, so that
      // --undo (--force for one in between) puts it back.
      if (error.left() != WriteLeft::kAsWritten) history.Discard();
      if (error.left() == WriteLeft::kAsBefore) throw;
      const std::uint64_t entryNumber = history.preparedSequence();
      if (error.left() == WriteLeft::kAsWritten) history.Commit();
      throw TrimwrightError(
          std::string(error.what()) + "; the image could not be put back as it was " +
          (error.left() == WriteLeft::kAsWritten
               ? "and holds the image from before pass " + DescribePass(*target) +
                     ": the undo's history entry #" + std::to_string(entryNumber) + " is kept"
               : "and may hold part of the image from before pass " + DescribePass(*target) +
                     ": the pass stays not undone, so --undo --force puts that image back"));
    }
  }
  history.Commit();
  history.Retain(keepHistory);
  UndoResult result{RunOutcome::kCompleted,
                    "Put back " + imagePath + " as it was before pass " + DescribePass(*target)};
  for (const HistoryEntry* damaged : skipped) {
    result.message += "; skipped the damaged entry #" + std::to_string(damaged->sequence);
  }
  return result;
}

}  // namespace trimwright
