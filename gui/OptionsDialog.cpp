#include "gui/OptionsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

constexpr int kDefaultMinRecords = 20;
constexpr double kDefaultMaxChange = 5.0;
constexpr double kDefaultMaxTotalChange = 10.0;
constexpr int kDefaultAuxLow = 110;
constexpr int kDefaultAuxHigh = 146;

}  // namespace

OptionsDialog::OptionsDialog(const PassLimits& limits, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Options"));
  m_minRecordsOn = new QCheckBox(QStringLiteral("Fuel trim cells need at least"), this);
  m_minRecords = new QSpinBox(this);
  m_minRecords->setRange(1, 1000000);
  m_minRecords->setSuffix(QStringLiteral(" records"));
  m_maxChangeOn = new QCheckBox(QStringLiteral("No VE cell changes by more than"), this);
  m_maxChange = new QDoubleSpinBox(this);
  m_maxChange->setRange(0.1, 100.0);
  m_maxChange->setDecimals(1);
  m_maxChange->setSuffix(QStringLiteral(" % per pass"));
  m_maxTotalChangeOn = new QCheckBox(QStringLiteral("No VE cell ends more than"), this);
  m_maxTotalChange = new QDoubleSpinBox(this);
  m_maxTotalChange->setRange(0.1, 100.0);
  m_maxTotalChange->setDecimals(1);
  m_maxTotalChange->setSuffix(QStringLiteral(" % from the oldest image in its history"));
  m_auxWindowOn =
      new QCheckBox(QStringLiteral("Leave out records whose second trims lie outside"), this);
  m_addSecondTrim = new QCheckBox(
      QStringLiteral("Count the second trim into each record's trims (BLM + second - 128)"), this);
  m_smooth = new QCheckBox(
      QStringLiteral("Smooth the factors between the centres of the fuel trim cells"), this);
  m_auxLow = new QSpinBox(this);
  m_auxHigh = new QSpinBox(this);
  m_auxLow->setRange(0, 255);
  m_auxHigh->setRange(0, 255);

  m_minRecordsOn->setChecked(limits.minRecords.has_value());
  m_minRecords->setValue(limits.minRecords.value_or(kDefaultMinRecords));
  m_maxChangeOn->setChecked(limits.maxChangePercent.has_value());
  m_maxChange->setValue(limits.maxChangePercent.value_or(kDefaultMaxChange));
  m_maxTotalChangeOn->setChecked(limits.maxTotalChangePercent.has_value());
  m_maxTotalChange->setValue(limits.maxTotalChangePercent.value_or(kDefaultMaxTotalChange));
  m_auxWindowOn->setChecked(limits.auxWindow.has_value());
  m_auxLow->setValue(limits.auxWindow ? limits.auxWindow->low : kDefaultAuxLow);
  m_auxHigh->setValue(limits.auxWindow ? limits.auxWindow->high : kDefaultAuxHigh);
  m_addSecondTrim->setChecked(limits.addSecondTrim);
  m_smooth->setChecked(limits.smooth);

  auto* grid = new QGridLayout;
  grid->addWidget(m_minRecordsOn, 0, 0);
  grid->addWidget(m_minRecords, 0, 1, 1, 3);
  grid->addWidget(m_maxChangeOn, 1, 0);
  grid->addWidget(m_maxChange, 1, 1, 1, 3);
  grid->addWidget(m_auxWindowOn, 2, 0);
  grid->addWidget(m_auxLow, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("to"), this), 2, 2);
  grid->addWidget(m_auxHigh, 2, 3);
  grid->addWidget(m_addSecondTrim, 3, 0, 1, 4);
  grid->addWidget(m_smooth, 4, 0, 1, 4);
  grid->addWidget(m_maxTotalChangeOn, 5, 0);
  grid->addWidget(m_maxTotalChange, 5, 1, 1, 3);
  auto* note = new QLabel(
      QStringLiteral("All are off unless ticked; a pass with none ticked is the plain pass."),
      this);
  m_problem = new QLabel(this);
  m_problem->setWordWrap(true);
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

std::optional<std::string> OptionsDialog::Problem() const {
  if (!m_auxWindowOn->isChecked()) return std::nullopt;
  try {
    ParseAuxWindow(AuxWindowText());
  } catch (const TrimwrightError& error) {
    return std::string("The second trim window ") + error.what();
  }
  return std::nullopt;
}

void OptionsDialog::AcceptIfValid() {
  if (const std::optional<std::string> problem = Problem()) {
    m_problem->setText(QString::fromStdString(*problem));
    m_problem->show();
    return;
  }
  accept();
}

std::string OptionsDialog::AuxWindowText() const {
  return std::to_string(m_auxLow->value()) + "-" + std::to_string(m_auxHigh->value());
}

PassLimits OptionsDialog::Limits() const {
  PassLimits limits;
  if (m_minRecordsOn->isChecked()) limits.minRecords = m_minRecords->value();
  if (m_maxChangeOn->isChecked()) limits.maxChangePercent = m_maxChange->value();
  if (m_maxTotalChangeOn->isChecked()) limits.maxTotalChangePercent = m_maxTotalChange->value();
  if (m_auxWindowOn->isChecked() && !Problem()) limits.auxWindow = ParseAuxWindow(AuxWindowText());
  limits.addSecondTrim = m_addSecondTrim->isChecked();
  limits.smooth = m_smooth->isChecked();
  return limits;
}

}  // namespace trimwright
