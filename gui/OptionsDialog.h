// The window's Options dialog: the three limits a careful tuner may set on a
// pass (a minimum of records per fuel trim cell, a cap on the change per pass,
// a window of the second trim values), each off unless ticked. It edits a
// PassLimits value the main window owns and keeps; the widgets belong to the
// dialog's widget tree.
#ifndef TRIMWRIGHT_GUI_OPTIONSDIALOG_H_
#define TRIMWRIGHT_GUI_OPTIONSDIALOG_H_

#include <QDialog>

#include "calibration/PassLimits.h"

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

namespace trimwright {

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  OptionsDialog(const PassLimits& limits, QWidget* parent = nullptr);

  // The limits as the dialog shows them.
  PassLimits Limits() const;

  QCheckBox* minRecordsBox() const { return m_minRecordsOn; }
  QSpinBox* minRecordsField() const { return m_minRecords; }
  QCheckBox* maxChangeBox() const { return m_maxChangeOn; }
  QDoubleSpinBox* maxChangeField() const { return m_maxChange; }
  QCheckBox* auxWindowBox() const { return m_auxWindowOn; }

 private:
  QCheckBox* m_minRecordsOn;
  QSpinBox* m_minRecords;
  QCheckBox* m_maxChangeOn;
  QDoubleSpinBox* m_maxChange;
  QCheckBox* m_auxWindowOn;
  QSpinBox* m_auxLow;
  QSpinBox* m_auxHigh;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_OPTIONSDIALOG_H_
