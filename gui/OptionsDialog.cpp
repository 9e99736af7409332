#include "gui/OptionsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace trimwright {

namespace {

constexpr int kDefaultMinRecords = 20;
constexpr double kDefaultMaxChange = 5.0;
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
  m_auxWindowOn =
      new QCheckBox(QStringLiteral("Leave out records whose second trims lie outside"), this);
  m_auxLow = new QSpinBox(this);
  m_auxHigh = new QSpinBox(this);
  m_auxLow->setRange(0, 255);
  m_auxHigh->setRange(0, 255);

  m_minRecordsOn->setChecked(limits.minRecords.has_value());
  m_minRecords->setValue(limits.minRecords.value_or(kDefaultMinRecords));
  m_maxChangeOn->setChecked(limits.maxChangePercent.has_value());
  m_maxChange->setValue(limits.maxChangePercent.value_or(kDefaultMaxChange));
  m_auxWindowOn->setChecked(limits.auxWindow.has_value());
  m_auxLow->setValue(limits.auxWindow ? limits.auxWindow->low : kDefaultAuxLow);
  m_auxHigh->setValue(limits.auxWindow ? limits.auxWindow->high : kDefaultAuxHigh);
  // The window's two ends stay in order.
  connect(m_auxLow, &QSpinBox::valueChanged, m_auxHigh, &QSpinBox::setMinimum);
  connect(m_auxHigh, &QSpinBox::valueChanged, m_auxLow, &QSpinBox::setMaximum);
  m_auxHigh->setMinimum(m_auxLow->value());
  m_auxLow->setMaximum(m_auxHigh->value());

  auto* grid = new QGridLayout;
  grid->addWidget(m_minRecordsOn, 0, 0);
  grid->addWidget(m_minRecords, 0, 1, 1, 3);
  grid->addWidget(m_maxChangeOn, 1, 0);
  grid->addWidget(m_maxChange, 1, 1, 1, 3);
  grid->addWidget(m_auxWindowOn, 2, 0);
  grid->addWidget(m_auxLow, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("to"), this), 2, 2);
  grid->addWidget(m_auxHigh, 2, 3);
  auto* note = new QLabel(
      QStringLiteral("All are off unless ticked; a pass with none ticked is the plain pass."),
      this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(note);
  layout->addWidget(buttons);
}

PassLimits OptionsDialog::Limits() const {
  PassLimits limits;
  if (m_minRecordsOn->isChecked()) limits.minRecords = m_minRecords->value();
  if (m_maxChangeOn->isChecked()) limits.maxChangePercent = m_maxChange->value();
  if (m_auxWindowOn->isChecked())
    limits.auxWindow = AuxWindow{m_auxLow->value(), m_auxHigh->value()};
  return limits;
}

}  // namespace trimwright
