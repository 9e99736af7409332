// The fuel trim cells of a capture as it runs, for Qt's views: the 4 by 4
// cells (rows by MAP band, highest first; columns by rpm band) and a fifth
// row with the idle cell 16 and the cells 17 and 18, each with its records
// so far and both BLMs' averages; the bands named by the image's boundaries
// where the window holds one. The cell the engine computer is in now is
// marked; a cell a pass uses that has fewer records than it should is
// faint, the others coloured by how far their BLMs lie from the target.
// Holds a copy of the last status; needs no widget.
#ifndef TRIMWRIGHT_GUI_CAPTURECELLSMODEL_H_
#define TRIMWRIGHT_GUI_CAPTURECELLSMODEL_H_

#include <QAbstractTableModel>
#include <array>
#include <cstdint>
#include <vector>

#include "capture/CaptureStatus.h"

namespace trimwright {

class CaptureCellsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kBands = 4;
  static constexpr int kIdleCell = 16;
  // Fewer records than this make a cell faint, unless the pass's record
  // minimum asks for more: about five seconds of driving in the cell.
  static constexpr std::uint64_t kEnoughRecords = 50;
  static constexpr int kCurrentRole = Qt::UserRole + 1;    // bool: the cell the engine is in
  static constexpr int kNeedsDataRole = Qt::UserRole + 2;  // bool: drawn faint

  explicit CaptureCellsModel(QObject* parent = nullptr);

  // Shows status: its cells' tallies and the cell of its last record.
  void SetStatus(const CaptureStatus& status);
  // Back to no record and no current cell, for a new capture.
  void Clear();
  // The BLM the colours measure from (the main window's target).
  void SetTargetBlm(int targetBlm);
  // The pass's record minimum (0: none); a cell is faint under the larger
  // of it and kEnoughRecords.
  void SetMinRecords(std::int32_t minRecords);
  std::uint64_t enoughRecords() const { return m_enough; }
  // The fuel trim table's boundaries for the headers, kBands + 1 of each,
  // lowest first (0, the image's three, the top); others (none: no image)
  // name the bands by number.
  void SetBands(const std::vector<std::int32_t>& rpmBounds,
                const std::vector<std::int32_t>& mapBounds);

  // The cell the last record was logged in, or -1 before the first record
  // and for a record beyond cell 18.
  int currentCell() const { return m_current; }
  const CellTally& Cell(int number) const { return m_cells[static_cast<std::size_t>(number)]; }
  // Where cell number (0 to 18) is shown, and which cell an index shows (-1
  // for the empty place at the end of the fifth row).
  QModelIndex IndexOfCell(int number) const;
  static int CellAt(const QModelIndex& index);
  // Whether a pass reads the records of the cell (not 17 and 18).
  static bool UsedByPass(int number) { return number <= kIdleCell; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  bool NeedsData(int number) const;
  void ChangedAll();

  std::array<CellTally, CaptureStatus::kCells> m_cells{};
  int m_current = -1;
  int m_target = 124;
  std::uint64_t m_enough = kEnoughRecords;
  std::vector<std::int32_t> m_rpmBounds;
  std::vector<std::int32_t> m_mapBounds;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_CAPTURECELLSMODEL_H_
