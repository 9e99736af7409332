// The LT1 OBD-I calibration image: the VE grid for an rpm limit, the PCM's
// fuel trim cell boundaries, the fuel trim table and the idle cell, and the
// tuning of the main and extended VE tables with the checksum and the report.
// File offsets are parameters; Tunercat and LT1edit supply them. Owns the
// open, locked image, its lists, the fuel trim table and the idle cell.
#ifndef TRIMWRIGHT_CALIBRATION_LT1_OBD1_H_
#define TRIMWRIGHT_CALIBRATION_LT1_OBD1_H_

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "calibration/PCM.h"
#include "common/DiskFile.h"
#include "fueltrim/FuelTrimCell.h"
#include "fueltrim/FuelTrimTable.h"
#include "logdata/LoggedData.h"

namespace trimwright {

// Where an image format keeps the fields a run reads and writes.
struct ImageOffsets {
  std::int32_t ftBoundsOffset;  // six boundary bytes: three rpm / 25, three kPa
  std::int32_t veOffset;        // main VE table, 9 rows of 17 bytes
  std::int32_t extVeOffset;     // extended VE table, from the 2000 rpm row up
  std::int32_t checksumOffset;  // 16-bit big-endian additive checksum
};

class LT1_obd1 : public PCM {
 public:
  static constexpr int kMainVeRows = 9;
  static constexpr int kFirstExtendedRow = 8;  // the 2000 rpm row, in both tables
  static constexpr std::int32_t kIdleCellNumber = 16;
  static constexpr int kBoundaryBytes = 6;

  // Opens the image at path for reading and writing (never creating or
  // truncating it), locks it for this run and builds the VE grid for
  // rpmLimit. Throws TrimwrightError when the image cannot be opened or is
  // being tuned by another run.
  LT1_obd1(const std::string& path, std::int32_t rpmLimit);
  ~LT1_obd1() override;

  using PCM::OptimizeVETable;

  // The tuning itself, with the offsets of the image format. Computes every
  // new byte in memory, writes the whole report, and only then writes the
  // changed region of the image in one write and syncs it. Call once, after
  // ReadFTCellBoundaries. Throws TrimwrightError when the report or the image
  // cannot be written; the image is unchanged when the report failed.
  virtual void OptimizeVETable(const LoggedData* data, std::int32_t targetBlm,
                               const std::string& logfileName, std::int32_t veOffset,
                               std::int32_t extVeOffset, std::int32_t checksumOffset);

  // Reads the six boundary bytes at ftBoundsOffset and builds the fuel trim
  // table from them.
  void ReadFTCellBoundaries(std::int32_t ftBoundsOffset);

  // Files every warm record the PCM logged in the idle cell into the idle
  // cell, then derives the idle cell's ranges from them.
  void FillIdleCell(const LoggedData& data);

  // Writes the report line of VE cell (row, column) and returns its new value.
  std::uint8_t ModifyVECell(std::uint8_t oldValue, int row, int column, std::int32_t targetBlm,
                            std::ostream& report, bool& overflow);

  // Exchanges the two bytes of word.
  static void SwapBytes16(std::uint16_t& word);

 protected:
  // For the image classes: writes the class's constructor line, refuses an
  // image too short for what this run touches, and reads the boundaries.
  void CompleteConstruction(const std::string& className, const ImageOffsets& offsets);

  // For the image classes: writes the class's line and tunes with offsets.
  void OptimizeImage(const std::string& className, const ImageOffsets& offsets,
                     const LoggedData* data, std::int32_t targetBlm,
                     const std::string& logfileName);

  // Rows of the VE grid that the rpm limit lets this run reach.
  int ReachableRows() const { return static_cast<int>(veRpmBounds.size()) - 1; }

  DiskFile pcmFile;
  std::vector<std::int32_t> ftRpmBounds;
  std::vector<float> ftMapBounds;
  std::vector<std::int32_t> veRpmBounds;
  std::vector<float> veKpaBounds;
  std::vector<std::int32_t> veRpmAxis;
  std::vector<std::int32_t> veKpaAxis;
  float veScale = 0.0f;
  std::unique_ptr<FuelTrimTable> fuelTrimTable;
  FuelTrimCell idleCell;

 private:
  // The bytes [begin, end) of the image that a tuning call reads and writes.
  struct Span {
    std::int64_t begin;
    std::int64_t end;
  };

  void BuildVEGrid(std::int32_t rpmLimit);
  Span TunedSpan(std::int32_t veOffset, std::int32_t extVeOffset,
                 std::int32_t checksumOffset) const;
  void RequireImageBytes(std::int64_t needed);
  [[noreturn]] void Fail(const std::string& message) const;

  std::string imagePath_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_LT1_OBD1_H_
