#include "gui/PassWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "app/HistoryCommands.h"
#include "common/TrimwrightError.h"
#include "gui/PassNotes.h"
#include "gui/RecordScatterView.h"
#include "gui/VeCellDelegate.h"

namespace trimwright {

namespace {

QTableView* MakeTable(QAbstractItemModel* model, QWidget* parent) {
  auto* view = new QTableView(parent);
  view->setModel(model);
  view->setSelectionMode(QAbstractItemView::NoSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  return view;
}

QString Change(double percent) {
  return (percent > 0 ? QStringLiteral("+") : QString()) + QString::number(percent, 'f', 1) +
         QStringLiteral(" %");
}

QString Hex(std::uint16_t word) {
  return QStringLiteral("0x%1").arg(word, 4, 16, QLatin1Char('0')).toUpper().replace("0X", "0x");
}

}  // namespace

PassWindow::PassWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Trimwright - pass"));
  resize(1100, 780);

  m_show = new QComboBox(this);
  m_show->addItems(
      {QStringLiteral("Change %"), QStringLiteral("Old VE %"), QStringLiteral("New VE %")});
  auto* legend = new QLabel(
      QStringLiteral("warm: richer, cool: leaner; red frame *: overflow (old value kept); "
                     "corner: idle cell blended; bar: capped; hatched: beyond the rpm limit; "
                     "faint: no logged data"),
      this);
  legend->setWordWrap(true);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Show"), this));
  top->addWidget(m_show);
  top->addWidget(legend, 1);

  m_veView = MakeTable(&m_veModel, this);
  m_veView->setItemDelegate(new VeCellDelegate(m_veView));
  m_trimView = MakeTable(&m_trimModel, this);
  m_warnings = new QListWidget(this);
  m_history = new QPlainTextEdit(this);
  m_history->setReadOnly(true);
  m_history->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* tabs = new QTabWidget(this);
  tabs->addTab(m_warnings, QStringLiteral("Warnings"));
  tabs->addTab(m_history, QStringLiteral("History of the image"));
  m_records = new RecordScatterView(this);
  tabs->addTab(m_records, QStringLiteral("Records"));
  auto* lower = new QSplitter(Qt::Horizontal, this);
  lower->addWidget(m_trimView);
  lower->addWidget(tabs);
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(m_veView);
  split->addWidget(lower);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);

  m_summary = new QLabel(this);
  m_summary->setWordWrap(true);
  m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_apply = new QPushButton(QStringLiteral("Apply"), this);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(m_summary, 1);
  bottom->addWidget(m_apply);
  bottom->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addLayout(bottom);

  connect(m_show, &QComboBox::currentIndexChanged, this, [this](int choice) {
    static constexpr VeTableModel::Show kShows[] = {
        VeTableModel::Show::kChange, VeTableModel::Show::kOldVe, VeTableModel::Show::kNewVe};
    m_veModel.SetShow(kShows[choice]);
  });
  connect(m_apply, &QPushButton::clicked, this, &PassWindow::applyRequested);
  // The records of the VE cell under the mouse in the table are marked in
  // the Records tab, which gets at least half the height when it is shown.
  m_veView->setMouseTracking(true);
  connect(m_veView, &QAbstractItemView::entered, m_records, [this](const QModelIndex& index) {
    m_records->HighlightCell(index.row(), index.column());
  });
  connect(tabs, &QTabWidget::currentChanged, this, [this, tabs, split] {
    if (tabs->currentWidget() != m_records) return;
    // After the tab widget has laid out the tab it now shows.
    QMetaObject::invokeMethod(
        split,
        [split] {
          const QList<int> sizes = split->sizes();
          if (sizes.size() == 2 && sizes[1] < sizes[0]) {
            split->setSizes({(sizes[0] + sizes[1]) / 2, (sizes[0] + sizes[1]) / 2});
          }
        },
        Qt::QueuedConnection);
  });
  connect(close, &QPushButton::clicked, this, &QWidget::close);
}

QString PassWindow::Summary(const PassPlan& plan) {
  const VECellPlan* rise = nullptr;
  const VECellPlan* fall = nullptr;
  auto change = [](const VECellPlan& cell) { return cell.ChangePercent(); };
  for (const VECellPlan& cell : plan.tunedCells) {
    if (change(cell) > 0 && (!rise || change(cell) > change(*rise))) rise = &cell;
    if (change(cell) < 0 && (!fall || change(cell) < change(*fall))) fall = &cell;
  }
  auto where = [&](const VECellPlan* cell) {
    return cell ? QStringLiteral("%1 at %2 rpm, %3 kPa")
                      .arg(Change(change(*cell)))
                      .arg(cell->rpm)
                      .arg(cell->kpa)
                : QStringLiteral("none");
  };
  return QStringLiteral(
             "%1 cell(s) change; largest rise %2; largest fall %3; %4 record(s) "
             "used; checksum %5 -> %6")
      .arg(plan.CellsChanged())
      .arg(where(rise), where(fall))
      .arg(plan.RecordsUsed())
      .arg(Hex(plan.oldChecksum), Hex(plan.newChecksum));
}

void PassWindow::ShowPass(const PassPlan& plan, bool preview) {
  m_veModel.SetPlan(plan);
  m_trimModel.SetPlan(plan);
  setWindowTitle(preview ? QStringLiteral("Trimwright - preview (nothing written yet)")
                         : QStringLiteral("Trimwright - pass written"));
  // The summary, the records' fates (by log in the tooltip) and the limits.
  QString summary = (preview ? QStringLiteral("Preview: ") : QStringLiteral("Written: ")) +
                    Summary(plan) + QStringLiteral("\n") + PassNotes::FatesLine(plan);
  if (!PassNotes::LimitsLine(plan).isEmpty())
    summary += QStringLiteral("\n") + PassNotes::LimitsLine(plan);
  m_summary->setText(summary);
  m_summary->setToolTip(PassNotes::FatesTable(plan));
  m_records->SetPlan(plan);
  // The same warning comes once per factor evaluated; it is listed once with
  // its count.
  m_warnings->clear();
  const std::vector<PassPlan::CountedWarning> warnings = plan.DistinctWarnings();
  for (const PassPlan::CountedWarning& warning : warnings) {
    const QString text = QString::fromStdString(warning.text).replace(QLatin1Char('\n'), ' ');
    m_warnings->addItem(warning.count > 1 ? QStringLiteral("%1 (x%2)").arg(text).arg(warning.count)
                                          : text);
  }
  m_warnings->addItems(PassNotes::LimitWarnings(plan));
  if (m_warnings->count() == 0) m_warnings->addItem(QStringLiteral("No warnings"));
  // The passes recorded beside the image, to see what Undo would put back.
  try {
    m_history->setPlainText(QString::fromStdString(HistoryListing(plan.imagePath)));
  } catch (const TrimwrightError& error) {
    m_history->setPlainText(QString::fromStdString(error.what()));
  }
  m_apply->setVisible(preview);
  m_apply->setEnabled(preview);
}

}  // namespace trimwright
