#include "tools/DriveSimulator.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace trimwright::tools {

namespace {

constexpr double kVePercentPerCount = 0.390588;
constexpr double kPi = 3.14159265358979;

// A small deterministic generator, so that a seed gives the same drive on
// every machine and library.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
  // Uniform in [-1, 1).
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / static_cast<double>(1u << 23) - 1.0;
  }

 private:
  std::uint32_t state_;
};

// How a tip-in or tip-out fades: its swing is largest on the first record and
// gone after kTransientRecords. A tip-in raises the MAP and makes the fast
// correction add fuel; a tip-out the opposite. The logged BLMs move with the
// fast correction for as long as it swings.
constexpr int kTransientRecords = 6;
constexpr double kTransientKpa = 14.0;
constexpr double kTransientAux = 30.0;
constexpr double kBlmFollowsAux = 0.4;

// What a transient adds to one record.
struct Swing {
  double mapKpa = 0.0;
  double aux = 0.0;
  double blm = 0.0;
};

// The rough part of a drive, drawn from a generator of its own so that a
// smooth drive draws exactly the numbers it always drew.
class Roughness {
 public:
  Roughness(const DriveRoughness& roughness, std::uint32_t seed)
      : roughness_(roughness), noise_(seed + 0x9E3779B9u) {}

  // The swing of the next cruise record: a transient may start, one under
  // way fades.
  Swing NextCruiseSwing() {
    if (left_ == 0 && roughness_.transientPercent > 0.0 &&
        (noise_.Next() + 1.0) * 50.0 < roughness_.transientPercent) {
      left_ = kTransientRecords;
      direction_ = noise_.Next() < 0.0 ? -1.0 : 1.0;
    }
    Swing swing;
    if (left_ > 0) {
      const double fade = static_cast<double>(left_) / kTransientRecords;
      swing.mapKpa = direction_ * kTransientKpa * fade;
      swing.aux = direction_ * kTransientAux * fade;
      swing.blm = kBlmFollowsAux * swing.aux;
      --left_;
    }
    return swing;
  }

  double BlmNoise() {
    return roughness_.blmNoise == 0.0 ? 0.0 : roughness_.blmNoise * noise_.Next();
  }

 private:
  DriveRoughness roughness_;
  Noise noise_;
  int left_ = 0;
  double direction_ = 1.0;
};

struct BankPair {
  double left;
  double right;
};

int ClampTrim(double value) { return static_cast<int>(std::clamp(std::lround(value), 0L, 255L)); }

}  // namespace

double TrueVe(double rpm, double kpa) {
  return 28.0 + 0.48 * kpa + 10.0 * std::sin(rpm / 7000.0 * kPi);
}

double TableError(double rpm, double kpa) {
  return 0.07 * std::sin(rpm / 1400.0) + 0.05 * std::cos(kpa / 22.0) - 0.05;
}

double EngineVe(const DriveRoughness& roughness, double rpm, double kpa) {
  // Periods of 1600 rpm and 40 kPa: two fuel trim cells across, eight VE
  // rows or columns.
  const double ripple = std::sin(2 * kPi * rpm / 1600.0) * std::sin(2 * kPi * kpa / 40.0);
  return TrueVe(rpm, kpa) * (1.0 + roughness.veRipple * ripple);
}

CalibrationImage MakeSampleImage() {
  CalibrationImage image;
  image.SetBoundaryBytes({48, 80, 112, 40, 60, 80});
  auto tableByte = [](int gridRow, int column) {
    const double rpm = GridRowRpm(gridRow);
    const double kpa = GridColumnKpa(column);
    const double percent = TrueVe(rpm, kpa) / (1.0 + TableError(rpm, kpa));
    return static_cast<std::uint8_t>(std::lround(percent / kVePercentPerCount));
  };
  for (int column = 0; column < CalibrationImage::kColumns; ++column) {
    for (int row = 0; row < CalibrationImage::kMainRows; ++row) {
      image.MainVe(row, column) = tableByte(row, column);
    }
    for (int row = 0; row < CalibrationImage::kExtendedRows; ++row) {
      image.ExtendedVe(row, column) = tableByte(row + 8, column);
    }
  }
  image.MakeChecksumConsistent();
  // The 7000 rpm row, which no pass tunes, after the word: the word stays
  // the one the sample has always carried.
  for (int column = 0; column < CalibrationImage::kColumns; ++column) {
    image.ExtendedVe(CalibrationImage::kExtendedRows, column) =
        tableByte(CalibrationImage::kExtendedRows + 8, column);
  }
  image.Seal();
  return image;
}

double TableVe(const CalibrationImage& image, double rpm, double kpa) {
  constexpr int kLastRow = 8 + CalibrationImage::kExtendedRows - 1;
  int row = 0;
  while (row < kLastRow - 1 && GridRowRpm(row + 1) <= rpm) ++row;
  int column = 0;
  while (column < CalibrationImage::kColumns - 2 && GridColumnKpa(column + 1) <= kpa) ++column;
  const double r0 = GridRowRpm(row);
  const double r1 = GridRowRpm(row + 1);
  const double k0 = GridColumnKpa(column);
  const double k1 = GridColumnKpa(column + 1);
  const double tr = std::clamp((rpm - r0) / (r1 - r0), 0.0, 1.0);
  const double tk = std::clamp((kpa - k0) / (k1 - k0), 0.0, 1.0);
  const double v00 = image.GridVe(row, column);
  const double v01 = image.GridVe(row, column + 1);
  const double v10 = image.GridVe(row + 1, column);
  const double v11 = image.GridVe(row + 1, column + 1);
  const double counts = (v00 * (1 - tk) + v01 * tk) * (1 - tr) + (v10 * (1 - tk) + v11 * tk) * tr;
  return counts * kVePercentPerCount;
}

int BlmCellFor(const CalibrationImage& image, double rpm, double kpa, bool idle) {
  if (idle) return 16;
  int mapBand = 0;
  int rpmBand = 0;
  for (int k = 0; k < 3; ++k) {
    if (rpm >= image.At(CalibrationImage::kBoundaries + k) * 25.0) rpmBand = k + 1;
    if (kpa >= image.At(CalibrationImage::kBoundaries + 3 + k)) mapBand = k + 1;
  }
  return mapBand * 4 + rpmBand;
}

std::vector<LogSample> SimulateDrive(const CalibrationImage& image, std::uint32_t seed, int records,
                                     const DriveRoughness& roughness) {
  Noise noise(seed);
  Roughness rough(roughness, seed);
  // The block learn of every BLM cell: a new image starts them all at 128.
  std::array<BankPair, 17> learned;
  learned.fill(BankPair{128.0, 128.0});
  std::vector<LogSample> drive;
  const int warmUp = records * 12 / 100;
  const int idle = records * 14 / 100;
  const int wideOpen = records * 10 / 100;
  const int cruise = records - warmUp - idle - wideOpen;
  for (int k = 0; k < records; ++k) {
    LogSample s;
    Swing swing;
    bool atIdle = false;
    if (k < warmUp + idle) {
      atIdle = true;
      s.rpm = static_cast<int>(820 + 230 * noise.Next());
      s.mapKpa = 35.5 + 6.0 * noise.Next();
      s.throttle = 0.0;
      s.coolantC = k < warmUp ? 25.0 + 50.0 * k / warmUp : 88.0 + noise.Next();
    } else if (k < warmUp + idle + cruise) {
      const double t = static_cast<double>(k - warmUp - idle) / cruise;
      swing = rough.NextCruiseSwing();
      s.rpm = static_cast<int>(2000 + 850 * std::sin(2 * kPi * 3.0 * t) +
                               150 * std::sin(2 * kPi * 11.0 * t) + 40 * noise.Next());
      s.mapKpa =
          55.0 + 24.0 * std::sin(2 * kPi * 4.0 * t + 1.0) + 2.0 * noise.Next() + swing.mapKpa;
      s.throttle = std::clamp((s.mapKpa - 22.0) * 0.7, 2.0, 60.0);
      s.coolantC = 89.0 + noise.Next();
    } else {
      const double t = static_cast<double>(k - warmUp - idle - cruise) / wideOpen;
      s.rpm = static_cast<int>(2600 + 2600 * t + 30 * noise.Next());
      s.mapKpa = 97.0 + 2.0 * noise.Next();
      s.throttle = 92.0 + 6.0 * noise.Next();
      s.coolantC = 90.0;
    }
    s.blmCell = BlmCellFor(image, s.rpm, s.mapKpa, atIdle);
    // What the fast correction still carries: nothing once the block learn
    // has caught up.
    double carriedLeft = 0.0;
    double carriedRight = 0.0;
    if (LoggedData::IsHighThrottle(static_cast<float>(s.throttle), s.rpm)) {
      // Open loop: the computer holds its trims and learns nothing.
      s.blmLeft = 128;
      s.blmRight = 128;
    } else {
      const double needed =
          128.0 * EngineVe(roughness, s.rpm, s.mapKpa) / TableVe(image, s.rpm, s.mapKpa);
      double left = needed;
      double right = needed * kRightBankNeed;
      if (roughness.blmLearnRate > 0.0) {
        // The block learn of the cell moves toward the need by a part of the
        // gap on each record; the fast correction makes up the rest.
        BankPair& cell = learned[static_cast<std::size_t>(s.blmCell)];
        cell.left += roughness.blmLearnRate * (left - cell.left);
        cell.right += roughness.blmLearnRate * (right - cell.right);
        carriedLeft = left - cell.left;
        carriedRight = right - cell.right;
        left = cell.left;
        right = cell.right;
      }
      s.blmLeft = ClampTrim(left + 1.5 * noise.Next() + swing.blm + rough.BlmNoise());
      s.blmRight = ClampTrim(right + 1.5 * noise.Next() + swing.blm + rough.BlmNoise());
    }
    s.auxLeft = ClampTrim(128 + carriedLeft + 3 * noise.Next() + swing.aux);
    s.auxRight = ClampTrim(128 + carriedRight + 3 * noise.Next() + swing.aux);
    drive.push_back(s);
  }
  return drive;
}

TrimSummary SummarizeTrims(const LoggedData& log, int targetBlm) {
  TrimSummary summary;
  double sum = 0.0;
  double distance = 0.0;
  for (std::uint32_t r = 0; r < log.recordCount; ++r) {
    if (!log.engineWarm[r] || log.highThrottle[r]) continue;
    ++summary.records;
    sum += log.blmLeft[r] + log.blmRight[r];
    distance += std::abs(log.blmLeft[r] - targetBlm) + std::abs(log.blmRight[r] - targetBlm);
  }
  if (summary.records > 0) {
    summary.meanBlm = sum / (2.0 * summary.records);
    summary.meanDistance = distance / (2.0 * summary.records);
  }
  return summary;
}

TrimSummary SummarizeTrimCells(const LoggedData& log, int targetBlm) {
  constexpr int kPartThrottleCells = 16;
  struct CellSums {
    int records = 0;
    double left = 0.0;
    double right = 0.0;
  };
  std::vector<CellSums> cells(kPartThrottleCells);
  for (std::uint32_t r = 0; r < log.recordCount; ++r) {
    if (!log.engineWarm[r] || log.highThrottle[r]) continue;
    if (log.blmCell[r] >= kPartThrottleCells) continue;  // a column holds no negative cell
    CellSums& cell = cells[log.blmCell[r]];
    ++cell.records;
    cell.left += log.blmLeft[r];
    cell.right += log.blmRight[r];
  }
  TrimSummary summary;
  double sum = 0.0;
  double distance = 0.0;
  for (const CellSums& cell : cells) {
    if (cell.records == 0) continue;
    const double deciding = std::max(cell.left, cell.right) / cell.records;
    summary.records += cell.records;
    sum += deciding * cell.records;
    distance += std::abs(deciding - targetBlm) * cell.records;
  }
  if (summary.records > 0) {
    summary.meanBlm = sum / summary.records;
    summary.meanDistance = distance / summary.records;
  }
  return summary;
}

}  // namespace trimwright::tools
