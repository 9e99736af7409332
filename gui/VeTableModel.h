// The VE table of a pass for Qt's views: 25 rows by rpm and 17 columns by kPa,
// showing the old VE, the new VE or the change in percent (whole percents
// where the view is narrow), coloured on a diverging scale (richer warm,
// leaner cool, unchanged neutral), with the marks of overflowed,
// idle-blended, capped, locked and untuned cells and of cells without data.
// It holds a copy of the plan's grid and needs no widget, so it is tested
// without a screen.
#ifndef TRIMWRIGHT_GUI_VETABLEMODEL_H_
#define TRIMWRIGHT_GUI_VETABLEMODEL_H_

#include <QAbstractTableModel>
#include <QColor>
#include <vector>

#include "calibration/PassPlan.h"

namespace trimwright {

class VeTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum class Show { kOldVe, kNewVe, kChange };

  // The marks of a cell, as a bit set under kMarksRole.
  enum Mark {
    kOverflow = 1,  // the new value left 0 to 255; the old one stays
    kIdle = 2,      // the idle cell's factor is blended in
    kUntuned = 4,   // the rpm limit does not reach the row
    kNoHits = 8,    // no record used lies in the cell, nor is the idle cell's factor in it
    kCapped = 16,   // the change was capped by the pass's limit
    kLocked = 32,   // the image's locks keep the cell as it is
  };
  static constexpr int kMarksRole = Qt::UserRole + 1;
  static constexpr int kChangeRole = Qt::UserRole + 2;  // change in percent, a double

  explicit VeTableModel(QObject* parent = nullptr);

  // Shows plan, the cells it was planned with locked marked as such.
  void SetPlan(const PassPlan& plan);
  // Marks the cells locked now (ascending), as the image's locks hold them.
  void SetLocked(const std::vector<GridCell>& locked);
  void SetShow(Show show);
  // Shows changes in whole percents ("+12", "+0" for a rise under a half)
  // instead of tenths, for a view too narrow for them; the tooltip keeps the
  // tenths.
  void SetCompact(bool compact);
  bool compact() const { return m_compact; }
  // The text of the cell at index as shown, or as it would be shown in the
  // compact form or not.
  QString TextAt(const QModelIndex& index, bool compact) const;
  // The cell at index by its labels.
  GridCell CellAt(const QModelIndex& index) const;
  // Sets what a choice box offering change, old and new VE, in that order,
  // chose.
  void SetShowChoice(int choice);
  Show show() const { return m_show; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // The colour of a change in percent: neutral at 0, warmer toward +10 % and
  // beyond, cooler toward -10 %.
  static QColor ChangeColor(double percent);
  // The diverging scale both pass tables use: neutral at 0, warm toward +1,
  // cool toward -1 (beyond those, the full colour).
  static QColor DivergingColor(double position);
  // The colour of a row the rpm limit does not reach.
  static QColor UntunedColor();
  // The contrast of two colours as the accessibility guidelines measure it,
  // from 1 (the same) to 21 (black on white).
  static double ContrastRatio(const QColor& a, const QColor& b);
  // The text colour on background: black or white, whichever reads better;
  // faint text lies toward the background but keeps a contrast of at least
  // kFaintContrast, so that it stays readable on the darkest cells.
  static constexpr double kFaintContrast = 3.0;
  static QColor TextColor(const QColor& background, bool faint);

 private:
  const VECellPlan& Cell(const QModelIndex& index) const;
  QColor Background(const VECellPlan& cell) const;
  QString Text(const VECellPlan& cell, bool compact) const;
  QString ToolTip(const VECellPlan& cell) const;

  bool IsLocked(const VECellPlan& cell) const;
  // Records used lie in the cell's band, or the idle cell's factor, from
  // records of its own, is blended into the cell's.
  bool HasData(const VECellPlan& cell) const;

  std::vector<VECellPlan> m_grid;
  std::vector<GridCell> m_locked;
  float m_veScale = 0.0f;
  std::int32_t m_idleRecords = 0;  // the records the idle cell's factor came from
  Show m_show = Show::kChange;
  bool m_compact = false;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_VETABLEMODEL_H_
