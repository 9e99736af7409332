#include "gui/PassWindow.h"

#include <QAction>
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
#include <algorithm>

#include "app/HistoryCommands.h"
#include "common/TrimwrightError.h"
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
                     "corner: idle cell blended; bar: capped; padlock: locked; hatched: beyond "
                     "the rpm limit; faint: no logged data"),
      this);
  legend->setWordWrap(true);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Show"), this));
  top->addWidget(m_show);
  top->addWidget(legend, 1);

  m_veView = MakeTable(&m_veModel, this);
  m_veView->setItemDelegate(new VeCellDelegate(m_veView));
  // Cells are selected to lock or unlock them, by the buttons below or the
  // grid's context menu.
  m_veView->setSelectionMode(QAbstractItemView::ExtendedSelection);
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
  m_trimView = MakeTable(&m_trimModel, this);
  m_warnings = new QListWidget(this);
  m_history = new QPlainTextEdit(this);
  m_history->setReadOnly(true);
  m_history->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* tabs = new QTabWidget(this);
  tabs->addTab(m_warnings, QStringLiteral("Warnings"));
  tabs->addTab(m_history, QStringLiteral("History of the image"));
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
  bottom->addWidget(m_lock);
  bottom->addWidget(m_unlock);
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
  int locked = 0;
  for (const VECellPlan& cell : plan.tunedCells) locked += cell.locked ? 1 : 0;
  return QStringLiteral(
             "%1 cell(s) change; largest rise %2; largest fall %3; %4 record(s) "
             "used; checksum %5 -> %6")
             .arg(plan.CellsChanged())
             .arg(where(rise), where(fall))
             .arg(plan.RecordsUsed())
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

void PassWindow::ShowPass(const PassPlan& plan, bool preview) {
  m_imagePath = plan.imagePath;
  m_veModel.SetPlan(plan);
  m_trimModel.SetPlan(plan);
  setWindowTitle(preview ? QStringLiteral("Trimwright - preview (nothing written yet)")
                         : QStringLiteral("Trimwright - pass written"));
  m_summary->setText((preview ? QStringLiteral("Preview: ") : QStringLiteral("Written: ")) +
                     Summary(plan));
  // The same warning comes once per factor evaluated; it is listed once with
  // its count.
  m_warnings->clear();
  const std::vector<PassPlan::CountedWarning> warnings = plan.DistinctWarnings();
  for (const PassPlan::CountedWarning& warning : warnings) {
    const QString text = QString::fromStdString(warning.text).replace(QLatin1Char('\n'), ' ');
    m_warnings->addItem(warning.count > 1 ? QStringLiteral("%1 (x%2)").arg(text).arg(warning.count)
                                          : text);
  }
  if (warnings.empty()) m_warnings->addItem(QStringLiteral("No warnings"));
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
