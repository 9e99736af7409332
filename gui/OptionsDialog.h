// The window's Options dialog: the limits a careful tuner may set on a pass (a
// minimum of records per fuel trim cell, a cap on the change per pass and one
// over all passes from the oldest image in the history, a window of the
// second trim values) and the two ways of reading a drive
// (the second trim counted in, factors smoothed), each off unless ticked. It edits a
// PassLimits value the main window owns and keeps; the widgets belong to the
// dialog's widget tree.
#ifndef TRIMWRIGHT_GUI_OPTIONSDIALOG_H_
#define TRIMWRIGHT_GUI_OPTIONSDIALOG_H_

#include <QDialog>
#include <optional>
#include <string>

#include "calibration/PassLimits.h"

class QCheckBox;
class QLabel;
class QDoubleSpinBox;
class QSpinBox;

namespace trimwright {

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  OptionsDialog(const PassLimits& limits, QWidget* parent = nullptr);

  // The limits as the dialog shows them; a second trim window whose ends are
  // out of order is left off.
  PassLimits Limits() const;

  // What keeps OK from closing the dialog (the second trim window's low end
  // above its high end), or nothing.
  std::optional<std::string> Problem() const;

  QCheckBox* minRecordsBox() const { return m_minRecordsOn; }
  QSpinBox* minRecordsField() const { return m_minRecords; }
  QCheckBox* maxChangeBox() const { return m_maxChangeOn; }
  QDoubleSpinBox* maxChangeField() const { return m_maxChange; }
  QCheckBox* maxTotalChangeBox() const { return m_maxTotalChangeOn; }
  QDoubleSpinBox* maxTotalChangeField() const { return m_maxTotalChange; }
  QCheckBox* auxWindowBox() const { return m_auxWindowOn; }
  QSpinBox* auxLowField() const { return m_auxLow; }
  QCheckBox* addSecondTrimBox() const { return m_addSecondTrim; }
  QCheckBox* smoothBox() const { return m_smooth; }
  QSpinBox* auxHighField() const { return m_auxHigh; }

 private:
  // OK: closes the dialog when Problem() finds nothing, else shows it.
  void AcceptIfValid();
  std::string AuxWindowText() const;

  QCheckBox* m_minRecordsOn;
  QSpinBox* m_minRecords;
  QCheckBox* m_maxChangeOn;
  QDoubleSpinBox* m_maxChange;
  QCheckBox* m_maxTotalChangeOn;
  QDoubleSpinBox* m_maxTotalChange;
  QCheckBox* m_auxWindowOn;
  QSpinBox* m_auxLow;
  QSpinBox* m_auxHigh;
  QCheckBox* m_addSecondTrim;
  QCheckBox* m_smooth;
  QLabel* m_problem;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_OPTIONSDIALOG_H_
