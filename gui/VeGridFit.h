// Keeps every number of a VE grid view whole: its columns never narrower than
// the widest text they show, in tenths where the view has room for them and
// in whole percents where it does not (the tooltip keeps the tenths); the
// view scrolls where even those do not fit. Watches the view's size and the
// model's texts; a child of the view, which owns it, and the model must
// outlive it.
#ifndef TRIMWRIGHT_GUI_VEGRIDFIT_H_
#define TRIMWRIGHT_GUI_VEGRIDFIT_H_

#include <QObject>

class QTableView;

namespace trimwright {

class VeTableModel;

class VeGridFit : public QObject {
  Q_OBJECT

 public:
  VeGridFit(QTableView& view, VeTableModel& model);

  // The width a column needs for the widest text of the model, in tenths or
  // in whole percents, margins included.
  int NeededWidth(bool compact) const;

  // Chooses the form and the columns' least width for the view's size now.
  void Refit();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTableView& m_view;
  VeTableModel& m_model;
  bool m_fitting = false;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_VEGRIDFIT_H_
