// The window's Options dialog: the limits a careful tuner may set on a pass (a
// minimum of records per fuel trim cell, a cap on the change per pass and one
// over all passes from the oldest image in the history, a window of the
// second trim values) and the two ways of reading a drive (the second trim
// counted in, factors smoothed), each off unless ticked. A value is typed as
// on the command line and read by the command line's own parser: OK refuses
// one it refuses, with its words, so what is kept is what was shown. It
// edits a PassLimits value the main window owns and keeps; the widgets belong
// to the dialog's widget tree.
#ifndef TRIMWRIGHT_GUI_OPTIONSDIALOG_H_
#define TRIMWRIGHT_GUI_OPTIONSDIALOG_H_

#include <QDialog>
#include <optional>
#include <string>

#include "calibration/PassLimits.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace trimwright {

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  OptionsDialog(const PassLimits& limits, QWidget* parent = nullptr);

  // The limits as the dialog shows them. REQUIRES: Problem() finds nothing
  // (a ticked value that is not one is left off).
  PassLimits Limits() const;

  // What keeps OK from closing the dialog: the first ticked value the
  // command line would refuse, in its words ("--max-change: needs ..."), or
  // nothing.
  std::optional<std::string> Problem() const;

  QCheckBox* minRecordsBox() const { return m_minRecordsOn; }
  QLineEdit* minRecordsField() const { return m_minRecords; }
  QCheckBox* maxChangeBox() const { return m_maxChangeOn; }
  QLineEdit* maxChangeField() const { return m_maxChange; }
  QCheckBox* maxTotalChangeBox() const { return m_maxTotalChangeOn; }
  QLineEdit* maxTotalChangeField() const { return m_maxTotalChange; }
  QCheckBox* auxWindowBox() const { return m_auxWindowOn; }
  QLineEdit* auxLowField() const { return m_auxLow; }
  QLineEdit* auxHighField() const { return m_auxHigh; }
  QCheckBox* addSecondTrimBox() const { return m_addSecondTrim; }
  QCheckBox* smoothBox() const { return m_smooth; }
  QLabel* problemLabel() const { return m_problem; }

 private:
  // OK: closes the dialog when Problem() finds nothing, else shows it and
  // puts the cursor in the field it names.
  void AcceptIfValid();
  // The field of the first ticked value the command line refuses, with its
  // refusal; nothing when every ticked value holds.
  std::optional<std::pair<QLineEdit*, std::string>> FirstProblem() const;
  std::string AuxWindowText() const;

  QCheckBox* m_minRecordsOn;
  QLineEdit* m_minRecords;
  QCheckBox* m_maxChangeOn;
  QLineEdit* m_maxChange;
  QCheckBox* m_maxTotalChangeOn;
  QLineEdit* m_maxTotalChange;
  QCheckBox* m_auxWindowOn;
  QLineEdit* m_auxLow;
  QLineEdit* m_auxHigh;
  QCheckBox* m_addSecondTrim;
  QCheckBox* m_smooth;
  QLabel* m_problem;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_OPTIONSDIALOG_H_
