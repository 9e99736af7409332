#include "gui/CompareWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "gui/VeCellDelegate.h"
#include "gui/WindowPlacement.h"

namespace trimwright {

namespace {

// Offsets named in the window; the command line's JSON has them all.
constexpr std::size_t kListedOffsets = 24;

QString Describe(const CompareSource& source) {
  QString text = QString::fromStdString(source.path);
  if (source.entry > 0) text += QStringLiteral(" before history entry #%1").arg(source.entry);
  return text + QStringLiteral(" (.%1, %2 bytes)")
                    .arg(QString::fromStdString(source.extension))
                    .arg(source.size);
}

}  // namespace

CompareWindow::CompareWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Trimwright - compare"));
  m_sources = new QLabel(this);
  m_sources->setTextFormat(Qt::PlainText);
  m_sources->setWordWrap(true);
  m_sources->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_show = new QComboBox(this);
  m_show->addItems({QStringLiteral("Change % from A to B"), QStringLiteral("A: VE %"),
                    QStringLiteral("B: VE %")});
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Show"), this));
  top->addWidget(m_show);
  top->addWidget(new QLabel(QStringLiteral("warm: B gives more fuel, cool: less"), this), 1);

  m_view = new QTableView(this);
  m_view->setModel(&m_model);
  VeCellDelegate::Install(*m_view, false);

  m_summary = new QLabel(this);
  m_summary->setWordWrap(true);
  m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_others = new QLabel(this);
  m_others->setWordWrap(true);
  m_others->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_sources);
  layout->addLayout(top);
  layout->addWidget(m_view, 1);
  layout->addWidget(m_summary);
  layout->addWidget(m_others);
  layout->addLayout(bottom);

  connect(m_show, &QComboBox::currentIndexChanged, &m_model, &VeTableModel::SetShowChoice);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  FitToScreen(*this, QSize(1000, 720));
}

void CompareWindow::ShowComparison(const ImageComparison& comparison) {
  m_model.SetComparison(comparison);
  // The window compares an older image, or one chosen, with the image being
  // tuned: changes read as a pass from A to B.
  m_sources->setText(QStringLiteral("A (compared with): ") + Describe(comparison.a) +
                     QStringLiteral("\nB (the image being tuned): ") + Describe(comparison.b));
  QString summary = QString::fromStdString(comparison.Summary());
  if (const int extended = comparison.DifferingExtendedRow2000()) {
    summary += QStringLiteral("; the extended table's copy of the 2000 rpm row: %1 cell(s) differ")
                   .arg(extended);
  }
  m_summary->setText(summary);
  QStringList offsets;
  for (std::size_t k = 0; k < comparison.others.size() && k < kListedOffsets; ++k) {
    offsets << QStringLiteral("0x%1")
                   .arg(comparison.others[k].offsetA, 5, 16, QLatin1Char('0'))
                   .toUpper()
                   .replace(QStringLiteral("0X"), QStringLiteral("0x"));
  }
  if (comparison.others.size() > kListedOffsets) {
    offsets << QStringLiteral("and %1 more").arg(comparison.others.size() - kListedOffsets);
  }
  m_others->setText(offsets.isEmpty()
                        ? QStringLiteral("No other byte differs.")
                        : QStringLiteral("Other bytes that differ, at offsets of A: ") +
                              offsets.join(QLatin1Char(' ')));
  m_others->setToolTip(
      QStringLiteral("Outside the VE tables; the checksum word moves with every "
                     "VE change"));
}

}  // namespace trimwright
