#include "gui/OptionsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <utility>

#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

// What a field shows for a limit that is off, for when it is ticked.
constexpr int kDefaultMinRecords = 20;
constexpr double kDefaultMaxChange = 5.0;
constexpr double kDefaultMaxTotalChange = 10.0;
constexpr int kDefaultAuxLow = 110;
constexpr int kDefaultAuxHigh = 146;

// A percentage as the command line takes it back: at most six decimals,
// without trailing zeros ("2.5", "5").
QString PercentText(double percent) {
  QString text = QString::number(percent, 'f', 6);
  while (text.endsWith(QLatin1Char('0'))) text.chop(1);
  if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  return text;
}

QLineEdit* NumberField(const QString& text, QWidget* parent) {
  auto* field = new QLineEdit(text, parent);
  field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000000.0000")));
  return field;
}

}  // namespace

OptionsDialog::OptionsDialog(const PassLimits& limits, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Options"));
  m_minRecordsOn = new QCheckBox(QStringLiteral("Fuel trim cells need at least"), this);
  m_minRecords = NumberField(QString::number(limits.minRecords.value_or(kDefaultMinRecords)), this);
  m_maxChangeOn = new QCheckBox(QStringLiteral("No VE cell changes by more than"), this);
  m_maxChange = NumberField(PercentText(limits.maxChangePercent.value_or(kDefaultMaxChange)), this);
  m_maxTotalChangeOn = new QCheckBox(QStringLiteral("No VE cell ends more than"), this);
  m_maxTotalChange =
      NumberField(PercentText(limits.maxTotalChangePercent.value_or(kDefaultMaxTotalChange)), this);
  m_auxWindowOn =
      new QCheckBox(QStringLiteral("Leave out records whose second trims lie outside"), this);
  m_auxLow =
      NumberField(QString::number(limits.auxWindow ? limits.auxWindow->low : kDefaultAuxLow), this);
  m_auxHigh = NumberField(
      QString::number(limits.auxWindow ? limits.auxWindow->high : kDefaultAuxHigh), this);
  m_addSecondTrim = new QCheckBox(
      QStringLiteral("Count the second trim into each record's trims (BLM + second - 128)"), this);
  m_smooth = new QCheckBox(
      QStringLiteral("Smooth the factors between the centres of the fuel trim cells"), this);

  m_minRecordsOn->setChecked(limits.minRecords.has_value());
  m_maxChangeOn->setChecked(limits.maxChangePercent.has_value());
  m_maxTotalChangeOn->setChecked(limits.maxTotalChangePercent.has_value());
  m_auxWindowOn->setChecked(limits.auxWindow.has_value());
  m_addSecondTrim->setChecked(limits.addSecondTrim);
  m_smooth->setChecked(limits.smooth);

  auto unit = [this](const QString& text) { return new QLabel(text, this); };
  auto* grid = new QGridLayout;
  grid->addWidget(m_minRecordsOn, 0, 0);
  grid->addWidget(m_minRecords, 0, 1);
  grid->addWidget(unit(QStringLiteral("records")), 0, 2, 1, 3);
  grid->addWidget(m_maxChangeOn, 1, 0);
  grid->addWidget(m_maxChange, 1, 1);
  grid->addWidget(unit(QStringLiteral("% per pass")), 1, 2, 1, 3);
  grid->addWidget(m_auxWindowOn, 2, 0);
  grid->addWidget(m_auxLow, 2, 1);
  grid->addWidget(unit(QStringLiteral("to")), 2, 2);
  grid->addWidget(m_auxHigh, 2, 3);
  grid->addWidget(m_addSecondTrim, 3, 0, 1, 5);
  grid->addWidget(m_smooth, 4, 0, 1, 5);
  grid->addWidget(m_maxTotalChangeOn, 5, 0);
  grid->addWidget(m_maxTotalChange, 5, 1);
  grid->addWidget(unit(QStringLiteral("% from the oldest image in its history")), 5, 2, 1, 3);
  grid->setColumnStretch(4, 1);
  auto* note = new QLabel(
      QStringLiteral("All are off unless ticked; a pass with none ticked is the plain pass. "
                     "Values are typed as on the command line."),
      this);
  note->setWordWrap(true);
  m_problem = new QLabel(this);
  m_problem->setWordWrap(true);
  m_problem->setTextFormat(Qt::PlainText);
  m_problem->setStyleSheet(QStringLiteral("color: #b00020"));
  m_problem->hide();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::AcceptIfValid);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(note);
  layout->addWidget(m_problem);
  layout->addWidget(buttons);
}

std::optional<std::pair<QLineEdit*, std::string>> OptionsDialog::FirstProblem() const {
  // In the order of the dialog's rows; the words are the command line's.
  auto check = [](QCheckBox* on, QLineEdit* field, const char* option, const std::string& text,
                  auto parse) -> std::optional<std::pair<QLineEdit*, std::string>> {
    if (!on->isChecked()) return std::nullopt;
    try {
      parse(text);
    } catch (const TrimwrightError& error) {
      return std::make_pair(field, std::string(option) + ": " + error.what());
    }
    return std::nullopt;
  };
  if (auto problem = check(m_minRecordsOn, m_minRecords, "--min-records",
                           m_minRecords->text().toStdString(), ParseMinRecords)) {
    return problem;
  }
  if (auto problem = check(m_maxChangeOn, m_maxChange, "--max-change",
                           m_maxChange->text().toStdString(), ParseMaxChangePercent)) {
    return problem;
  }
  // The window's two ends are one value on the command line, LO-HI; the
  // cursor goes to the end that makes it fail, the low one when both may.
  if (auto problem =
          check(m_auxWindowOn, m_auxLow, "--aux-window", AuxWindowText(), ParseAuxWindow)) {
    try {
      ParseAuxWindow(m_auxLow->text().toStdString() + "-255");
    } catch (const TrimwrightError&) {
      return problem;
    }
    problem->first = m_auxHigh;
    return problem;
  }
  return check(m_maxTotalChangeOn, m_maxTotalChange, "--max-total-change",
               m_maxTotalChange->text().toStdString(), ParseMaxChangePercent);
}

std::optional<std::string> OptionsDialog::Problem() const {
  const auto problem = FirstProblem();
  if (!problem) return std::nullopt;
  return problem->second;
}

void OptionsDialog::AcceptIfValid() {
  if (const auto problem = FirstProblem()) {
    m_problem->setText(QString::fromStdString(problem->second));
    m_problem->show();
    problem->first->setFocus();
    problem->first->selectAll();
    return;
  }
  accept();
}

std::string OptionsDialog::AuxWindowText() const {
  return m_auxLow->text().toStdString() + "-" + m_auxHigh->text().toStdString();
}

PassLimits OptionsDialog::Limits() const {
  PassLimits limits;
  auto read = [](QCheckBox* on, const std::string& text, auto parse, auto& limit) {
    if (!on->isChecked()) return;
    try {
      limit = parse(text);
    } catch (const TrimwrightError&) {
      // Left off; Problem() names it, and OK does not close the dialog.
    }
  };
  read(m_minRecordsOn, m_minRecords->text().toStdString(), ParseMinRecords, limits.minRecords);
  read(m_maxChangeOn, m_maxChange->text().toStdString(), ParseMaxChangePercent,
       limits.maxChangePercent);
  read(m_maxTotalChangeOn, m_maxTotalChange->text().toStdString(), ParseMaxChangePercent,
       limits.maxTotalChangePercent);
  read(m_auxWindowOn, AuxWindowText(), ParseAuxWindow, limits.auxWindow);
  limits.addSecondTrim = m_addSecondTrim->isChecked();
  limits.smooth = m_smooth->isChecked();
  return limits;
}

}  // namespace trimwright
