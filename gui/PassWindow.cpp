#include "gui/PassWindow.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/PassProgress.h"
#include "calibration/VEGrid.h"
#include "common/TrimwrightError.h"
#include "gui/PassNotes.h"
#include "gui/ProgressChart.h"
#include "gui/RecordScatterView.h"
#include "gui/VeCellDelegate.h"
#include "gui/WindowPlacement.h"

namespace trimwright {

namespace {

QString Change(double percent) {
  return (percent > 0 ? QStringLiteral("+") : QString()) + QString::number(percent, 'f', 1) +
         QStringLiteral(" %");
}

QString Hex(std::uint16_t word) {
  return QStringLiteral("0x%1").arg(word, 4, 16, QLatin1Char('0')).toUpper().replace("0X", "0x");
}

QTableView* MakeReadOnlyTable(QAbstractItemModel* model, QWidget* parent) {
  auto* view = new QTableView(parent);
  view->setModel(model);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  return view;
}

}  // namespace

PassWindow::PassWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Trimwright - pass"));

  m_show = new QComboBox(this);
  m_show->addItems(
      {QStringLiteral("Change %"), QStringLiteral("Old VE %"), QStringLiteral("New VE %")});
  auto* legend = new QLabel(
      QStringLiteral("warm: richer, cool: leaner; red frame *: overflow (old value kept); "
                     "corner: idle cell blended; bar: capped; padlock: locked; hatched: beyond "
                     "the rpm limit; faint italics: no record used in the cell, no idle blend"),
      this);
  legend->setWordWrap(true);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Show"), this));
  top->addWidget(m_show);
  top->addWidget(legend, 1);

  m_veView = MakeReadOnlyTable(&m_veModel, this);
  VeCellDelegate::Install(*m_veView, true);
  // Cells are selected to lock or unlock them, by the buttons below or the
  // grid's context menu.
  m_lock = new QPushButton(QStringLiteral("Lock cells"), this);
  m_unlock = new QPushButton(QStringLiteral("Unlock cells"), this);
  m_lock->setToolTip(QStringLiteral(
      "Lock the selected VE cells on this image: no pass changes them until they are unlocked"));
  m_unlock->setToolTip(QStringLiteral("Unlock the selected VE cells on this image"));
  auto* lockAction = new QAction(QStringLiteral("Lock selected cells"), m_veView);
  auto* unlockAction = new QAction(QStringLiteral("Unlock selected cells"), m_veView);
  m_veView->addAction(lockAction);
  m_veView->addAction(unlockAction);
  m_veView->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(lockAction, &QAction::triggered, this, [this] { emit lockRequested(true); });
  connect(unlockAction, &QAction::triggered, this, [this] { emit lockRequested(false); });
  connect(m_lock, &QPushButton::clicked, this, [this] { emit lockRequested(true); });
  connect(m_unlock, &QPushButton::clicked, this, [this] { emit lockRequested(false); });
  m_trimView = MakeReadOnlyTable(&m_trimModel, this);
  m_trimView->setSelectionMode(QAbstractItemView::NoSelection);
  // Nothing in it to select or scroll: Tab passes it by.
  m_trimView->setFocusPolicy(Qt::NoFocus);
  m_trimView->setTextElideMode(Qt::ElideNone);
  m_trimView->setWordWrap(false);
  // Its minimum size holds every cell whole (FitTrimTable), so it never
  // needs to scroll.
  m_trimView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_trimView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_trimView->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  m_trimView->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);

  // Warnings are sentences: they wrap within the list, which never scrolls
  // sideways.
  m_warnings = new QListWidget(this);
  m_warnings->setWordWrap(true);
  m_warnings->setTextElideMode(Qt::ElideNone);
  m_warnings->setResizeMode(QListView::Adjust);
  m_warnings->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  m_tabs = new QTabWidget(this);
  m_tabs->addTab(m_warnings, QStringLiteral("Warnings"));
  m_tabs->addTab(BuildHistoryTab(), QStringLiteral("History of the image"));
  m_records = new RecordScatterView(this);
  m_records->setFocusPolicy(Qt::NoFocus);  // read by hovering
  m_tabs->addTab(m_records, QStringLiteral("Records"));

  // The VE grid takes the left; the fuel trim table and the tabs share the
  // right, so that the grid keeps its height on a low laptop screen.
  auto* side = new QSplitter(Qt::Vertical, this);
  side->addWidget(m_trimView);
  side->addWidget(m_tabs);
  side->setStretchFactor(0, 2);
  side->setStretchFactor(1, 3);
  side->setChildrenCollapsible(false);
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(m_veView);
  split->addWidget(side);
  // The grid takes what room the window has beyond the right side's.
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 0);
  split->setChildrenCollapsible(false);

  m_summary = new QLabel(this);
  m_summary->setWordWrap(true);
  m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_compare = new QPushButton(QStringLiteral("Compare with..."), this);
  m_compare->setToolTip(QStringLiteral(
      "Choose an image (.bin or .lt1), A, and see how this image, B, differs from it"));
  m_apply = new QPushButton(QStringLiteral("Apply"), this);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(m_summary, 1);
  bottom->addWidget(m_lock);
  bottom->addWidget(m_unlock);
  bottom->addWidget(m_compare);
  bottom->addWidget(m_apply);
  bottom->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addLayout(bottom);

  connect(m_show, &QComboBox::currentIndexChanged, &m_veModel, &VeTableModel::SetShowChoice);
  connect(m_apply, &QPushButton::clicked, this, &PassWindow::applyRequested);
  connect(m_compare, &QPushButton::clicked, this,
          [this] { emit compareRequested(std::string(), m_imagePath); });
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WidgetWithChildrenShortcut);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
  // The records of the VE cell under the mouse in the grid are marked in the
  // Records tab.
  m_veView->setMouseTracking(true);
  connect(m_veView, &QAbstractItemView::entered, m_records, [this](const QModelIndex& index) {
    const GridCell cell = m_veModel.CellAt(index);
    m_records->HighlightCell(VEGrid::RowOf(cell.rpm),
                             VEGrid::ColumnOf(static_cast<float>(cell.kpa)));
  });
  // The grid takes the keys first: arrows move in it, Tab leaves it.
  m_veView->setFocus();
  FitToScreen(*this, kWantedSize);
}

QWidget* PassWindow::BuildHistoryTab() {
  auto* tab = new QWidget(this);
  m_chart = new ProgressChart(m_progressModel, tab);
  m_progressView = MakeReadOnlyTable(&m_progressModel, tab);
  m_progressView->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_progressView->setSelectionMode(QAbstractItemView::SingleSelection);
  m_progressView->verticalHeader()->hide();
  m_progressView->horizontalHeader()->setStretchLastSection(true);
  m_progressView->setMinimumHeight(4 * m_progressView->fontMetrics().height());
  auto* split = new QSplitter(Qt::Vertical, tab);
  split->addWidget(m_chart);
  split->addWidget(m_progressView);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  split->setChildrenCollapsible(false);
  m_historyNote = new QLabel(tab);
  m_historyNote->setWordWrap(true);
  m_historyNote->setTextFormat(Qt::PlainText);
  m_compareEntry = new QPushButton(QStringLiteral("Compare with the image before it"), tab);
  m_compareEntry->setToolTip(
      QStringLiteral("Shows how the image now (B) differs from the image before the selected "
                     "history entry (A)"));
  m_compareEntry->setEnabled(false);
  auto* row = new QHBoxLayout;
  row->addWidget(m_historyNote, 1);
  row->addWidget(m_compareEntry);
  auto* layout = new QVBoxLayout(tab);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(split, 1);
  layout->addLayout(row);

  connect(m_progressView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    const QModelIndexList rows = m_progressView->selectionModel()->selectedRows();
    m_compareEntry->setEnabled(
        !rows.isEmpty() &&
        m_progressModel.points()[static_cast<std::size_t>(rows.first().row())].kind.size() > 0);
  });
  connect(m_compareEntry, &QPushButton::clicked, this, &PassWindow::OnCompareEntry);
  return tab;
}

void PassWindow::OnCompareEntry() {
  const QModelIndexList rows = m_progressView->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  const ProgressPoint& point =
      m_progressModel.points()[static_cast<std::size_t>(rows.first().row())];
  emit compareRequested(m_imagePath + "@" + std::to_string(point.number), m_imagePath);
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
  int locked = 0;
  for (const VECellPlan& cell : plan.tunedCells) locked += cell.locked ? 1 : 0;
  // Every record used, as the records line and the Records tab count them,
  // and the two parts the JSON gives apart (records_used and the idle
  // cell's records).
  const auto idle = static_cast<std::uint64_t>(std::max(plan.idleCell.records, 0));
  return QStringLiteral(
             "%1 cell(s) change; largest rise %2; largest fall %3; %4 record(s) used: %5 "
             "by the fuel trim cells, %6 by the idle cell; checksum %7 -> %8")
             .arg(plan.CellsChanged())
             .arg(where(rise), where(fall))
             .arg(PassNotes::Count(plan.RecordsUsed() + idle))
             .arg(PassNotes::Count(plan.RecordsUsed()), PassNotes::Count(idle))
             .arg(Hex(plan.oldChecksum), Hex(plan.newChecksum)) +
         (locked > 0 ? QStringLiteral("; %1 locked cell(s) held back").arg(locked) : QString());
}

std::vector<GridCell> PassWindow::SelectedCells() const {
  std::vector<GridCell> cells;
  for (const QModelIndex& index : m_veView->selectionModel()->selectedIndexes()) {
    cells.push_back(m_veModel.CellAt(index));
  }
  std::sort(cells.begin(), cells.end());
  return cells;
}

void PassWindow::FitTrimTable() {
  // The table view hides the item view's public measures of its cells.
  const QAbstractItemView* cells = m_trimView;
  // Measured in the style and font the view draws with.
  m_trimView->ensurePolished();
  m_trimView->horizontalHeader()->ensurePolished();
  m_trimView->verticalHeader()->ensurePolished();
  int width = 0;
  for (int column = 0; column < m_trimModel.columnCount(); ++column) {
    width = std::max({width, cells->sizeHintForColumn(column),
                      m_trimView->horizontalHeader()->sectionSizeHint(column)});
  }
  int height = 0;
  for (int row = 0; row < m_trimModel.rowCount(); ++row) {
    height = std::max(height, cells->sizeHintForRow(row));
  }
  m_trimView->horizontalHeader()->setMinimumSectionSize(width);
  m_trimView->verticalHeader()->setMinimumSectionSize(height);
  const int frame = 2 * m_trimView->frameWidth();
  m_trimView->setMinimumSize(
      m_trimView->verticalHeader()->sizeHint().width() + width * m_trimModel.columnCount() + frame,
      m_trimView->horizontalHeader()->sizeHint().height() + height * m_trimModel.rowCount() +
          frame);
}

void PassWindow::ShowHistory(const std::string& imagePath) {
  std::vector<ProgressPoint> points;
  QString note;
  try {
    points = ReadProgress(imagePath);
    if (points.empty()) {
      note = QStringLiteral("No passes recorded for %1").arg(QString::fromStdString(imagePath));
    }
  } catch (const TrimwrightError& error) {
    note = QString::fromStdString(error.what());
  }
  m_progressModel.SetProgress(std::move(points));
  m_progressView->resizeColumnsToContents();
  m_historyNote->setText(note);
  m_historyNote->setVisible(!note.isEmpty());
  m_compareEntry->setEnabled(false);
}

void PassWindow::ShowPass(const PassPlan& plan, bool preview) {
  m_imagePath = plan.imagePath;
  m_veModel.SetPlan(plan);
  m_trimModel.SetPlan(plan);
  FitTrimTable();
  setWindowTitle(preview ? QStringLiteral("Trimwright - preview (nothing written yet)")
                         : QStringLiteral("Trimwright - pass written"));
  // The summary, the records' fates (by log in the tooltip) and the limits.
  QString summary = (preview ? QStringLiteral("Preview: ") : QStringLiteral("Written: ")) +
                    Summary(plan) + QStringLiteral("\n") + PassNotes::FatesLine(plan);
  const QString limits = PassNotes::LimitsLine(plan);
  if (!limits.isEmpty()) summary += QStringLiteral("\n") + limits;
  m_summaryText = summary;
  m_summary->setText(summary);
  m_summary->setToolTip(PassNotes::FatesTable(plan));
  m_records->SetPlan(plan);
  // The same warning comes once per factor evaluated; it is listed once with
  // its count.
  m_warnings->clear();
  const std::vector<PassPlan::CountedWarning> warnings = plan.DistinctWarnings();
  for (const PassPlan::CountedWarning& warning : warnings) {
    m_warnings->addItem(QString::fromStdString(warning.Listed()).replace(QLatin1Char('\n'), ' '));
  }
  m_warnings->addItems(PassNotes::LimitWarnings(plan));
  if (m_warnings->count() == 0) m_warnings->addItem(QStringLiteral("No warnings"));
  // The passes recorded beside the image, to see the progress and what Undo
  // would put back.
  ShowHistory(plan.imagePath);
  m_apply->setVisible(preview);
  m_apply->setEnabled(preview);
}

void PassWindow::ShowPreviewLost() {
  m_apply->setEnabled(false);
  setWindowTitle(QStringLiteral("Trimwright - preview (its files are gone; nothing to apply)"));
  m_summary->setText(QStringLiteral("This preview can no longer be applied: its files are not "
                                    "there any more. Preview again once they are.\n") +
                     m_summaryText);
}

}  // namespace trimwright
