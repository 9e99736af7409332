// The pass window on Qt's offscreen platform: cells selected with real mouse
// and key events and locked, its count of records and its line of the
// limits. Its keyboard is tried in a whole pass (WindowPassTest).

#include <nlohmann/json.hpp>

#include "tests/gui/GuiTestSupport.h"

namespace trimwright {

using namespace guitest;

namespace {

// Where the VE cell at row and column lies in the grid's viewport, scrolled
// into sight.
QPoint CellPoint(PassWindow& pass, int row, int column) {
  const QModelIndex index = pass.veModel().index(row, column);
  pass.veView()->scrollTo(index);
  return pass.veView()->visualRect(index).center();
}

// Presses the left button on one cell, moves to another and lets go there.
void Drag(PassWindow& pass, QPoint from, QPoint to) {
  QWidget* viewport = pass.veView()->viewport();
  QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, CellPoint(pass, from.y(), from.x()));
  QTest::mouseMove(viewport, CellPoint(pass, (from.y() + to.y()) / 2, (from.x() + to.x()) / 2));
  QTest::mouseMove(viewport, CellPoint(pass, to.y(), to.x()));
  QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, CellPoint(pass, to.y(), to.x()));
}

// True when the grid draws the cell with the selection colour on its left
// edge.
bool DrawnSelected(PassWindow& pass, int row, int column) {
  const QPoint centre = CellPoint(pass, row, column);
  const QRect cell = pass.veView()->visualRect(pass.veModel().index(row, column));
  const QImage drawn = pass.veView()->viewport()->grab().toImage();
  const QColor highlight = pass.veView()->palette().color(QPalette::Active, QPalette::Highlight);
  bool framed = false;
  for (int x = cell.left(); x < cell.left() + 4; ++x) {
    framed = framed || drawn.pixelColor(x, centre.y()) == highlight;
  }
  // Inside the frame the cell keeps its own colour under the tint: never
  // the plain selection colour.
  return framed && drawn.pixelColor(centre.x(), cell.top() + 2) != highlight;
}

const std::vector<GridCell> kBlock{{1200, 50}, {1200, 55}, {1400, 50}, {1400, 55}};

}  // namespace

class PassWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setApplicationName(QString::fromLatin1(TunerApp::kApplicationName));
  }

  // Cells are selected in the grid by the mouse (a click, a drag, Ctrl and
  // Shift) and by the keyboard (Shift with the arrows), drawn selected, and
  // Lock cells stores exactly them on the image, where the command line's
  // --locks reads them.
  void cellsAreSelectedByMouseAndKeyboard_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("selected");  // of the block of rows 4-5 by columns 6-7
    QTest::newRow("click") << "click" << 1;
    QTest::newRow("drag") << "drag" << 4;
    QTest::newRow("Ctrl and click") << "ctrl" << 2;
    QTest::newRow("Ctrl again clears") << "ctrl twice" << 1;
    QTest::newRow("Shift and click") << "shift" << 4;
    QTest::newRow("Shift and arrows") << "keys" << 4;
  }
  void cellsAreSelectedByMouseAndKeyboard() {
    QFETCH(QString, how);
    QFETCH(int, selected);
    Previewed run;
    PassWindow& pass = *run.pass;
    QWidget* viewport = pass.veView()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, CellPoint(pass, 4, 6));
    if (how == "drag") Drag(pass, QPoint(6, 4), QPoint(7, 5));
    if (how.startsWith("ctrl")) {
      QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, CellPoint(pass, 5, 7));
    }
    if (how == "ctrl twice") {
      QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, CellPoint(pass, 5, 7));
    }
    if (how == "shift") {
      QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, CellPoint(pass, 5, 7));
    }
    if (how == "keys") {
      QTest::keyClick(pass.veView(), Qt::Key_Right, Qt::ShiftModifier);
      QTest::keyClick(pass.veView(), Qt::Key_Down, Qt::ShiftModifier);
    }
    const std::vector<GridCell> cells = pass.SelectedCells();
    std::vector<GridCell> expected;
    for (const GridCell& cell : kBlock) {
      const bool first = cell == kBlock.front();
      const bool last = cell == kBlock.back();
      if (selected == 4 || first || (selected == 2 && last)) expected.push_back(cell);
    }
    QVERIFY2(cells == expected, qPrintable(QString::number(cells.size())));
    QVERIFY(DrawnSelected(pass, 4, 6));
    QCOMPARE(DrawnSelected(pass, 5, 7), selected != 1);
    QVERIFY(!DrawnSelected(pass, 6, 6));

    QTest::mouseClick(pass.lockButton(), Qt::LeftButton);
    QCOMPARE(run.services.events, QStringList());
    QVERIFY(CellLocks::Read(run.dir.File("car.bin")) == expected);
  }

  // Cells selected in the pass window are locked on the image at once (by
  // the buttons or the grid's menu); the preview is planned again, and Apply
  // and Process leave them as they were until the window unlocks them.
  void cellsLockedInThePassWindowKeepTheirBytes() {
    Previewed run;
    TempDir& dir = run.dir;
    ScriptedServices& services = run.services;
    TunerDialog& dialog = *run.dialog;
    PassWindow* pass = run.pass;
    QTest::mouseClick(pass->lockButton(), Qt::LeftButton);
    QCOMPARE(services.events, QStringList{"message Select the VE cells to lock in the grid first"});
    services.events.clear();
    // 1200 and 1400 rpm (rows 4 and 5) by 50 and 55 kPa (columns 6 and 7).
    const auto select = [pass] { Drag(*pass, QPoint(6, 4), QPoint(7, 5)); };
    const auto marked = [pass](int row, int column) {
      return (pass->veModel().index(row, column).data(VeTableModel::kMarksRole).toInt() &
              VeTableModel::kLocked) != 0;
    };
    // The bytes of the block and of the cell above it, 1600 rpm at 50 kPa.
    const auto bytes = [&] {
      const auto now = tools::CalibrationImage::FromBytes(tools::ReadFile(dir.File("car.bin")),
                                                          tools::ImageLayout::kBin);
      return std::vector<int>{now.MainVe(4, 6), now.MainVe(4, 7), now.MainVe(5, 6),
                              now.MainVe(5, 7), now.MainVe(6, 6)};
    };
    const std::vector<int> first = bytes();
    select();
    QTest::mouseClick(pass->lockButton(), Qt::LeftButton);
    QVERIFY((CellLocks::Read(dir.File("car.bin")) ==
             std::vector<GridCell>{{1200, 50}, {1200, 55}, {1400, 50}, {1400, 55}}));
    QVERIFY(marked(4, 6) && marked(5, 7) && !marked(4, 5) && !marked(6, 6));
    QVERIFY(pass->summaryLabel()
                ->text()
                .section(QLatin1Char('\n'), 0, 0)
                .endsWith(QStringLiteral("; 4 locked cell(s) held back")));
    // Locks changed elsewhere after the preview: Apply refuses and previews
    // again.
    CellLocks::Change(dir.File("car.bin"), {{400, 20}}, {});
    services.events.clear();
    QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
    QCOMPARE(services.events, QStringList{"message Since the preview, the locked cells of the "
                                          "image " +
                                          Q(dir.File("car.bin")) +
                                          " changed; nothing was written; the pass is previewed "
                                          "again."});
    QVERIFY(bytes()[4] == first[4] && marked(0, 0));
    CellLocks::Change(dir.File("car.bin"), {}, {{400, 20}});
    Click(dialog, IDC_PREVIEW);
    for (const bool apply : {true, false}) {
      if (apply) QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
      if (!apply) Click(dialog, IDC_PROCESS);
      const std::vector<int> now = bytes();
      QVERIFY(std::equal(first.begin(), first.begin() + 4, now.begin()) && now[4] != first[4]);
    }
    // The history tab says which cells each pass's locks held.
    QCOMPARE(pass->progressModel().index(1, ProgressModel::kLimits).data().toString(),
             QStringLiteral("none; locks: 4 VE cell(s) held (1200 rpm: 50 55 kPa; 1400 rpm: 50 "
                            "55 kPa)"));
    // The grid's menu unlocks them.
    select();
    const QList<QAction*> menu = pass->veView()->actions();
    QCOMPARE(menu.size(), 2);
    QCOMPARE(menu[1]->text(), QStringLiteral("Unlock selected cells"));
    menu[1]->trigger();
    QVERIFY(CellLocks::Read(dir.File("car.bin")).empty() && !marked(4, 6));
    const int before = bytes()[0];
    Click(dialog, IDC_PROCESS);
    QVERIFY(bytes()[0] != before);
  }

  // The summary, the grid, the Records tab and the JSON of the same pass
  // count the same records: the summary's records used by the fuel trim
  // cells are the JSON's records_used, those by the idle cell its idle
  // cell's records, their sum the records line's; every cell's tooltip and
  // Records entry part its records as the JSON's hits and idle_hits. A cell
  // blended with the idle cell (800 rpm, 35 kPa of the sample) is not faint.
  void recordsAreCountedAlikeEverywhere() {
    TempDir dir;
    for (const char* ext : {"csv", "bin"}) {
      tools::WriteFile(dir.File(std::string("sample.") + ext),
                       tools::ReadFile(std::string(TRIMWRIGHT_EXAMPLES_DIR) + "/sample." + ext));
    }
    CapturedOutput output;
    FixedFieldsWindow direct;
    RunRequest request =
        RunRequest::ForOneLog(dir.File("sample.csv"), dir.File("sample.bin"), "", "124", "3000");
    request.dryRun = true;
    request.jsonPath = dir.File("plan.json");
    TuningRun(direct).Perform(request);
    const auto json = nlohmann::json::parse(tools::ReadFile(dir.File("plan.json")));

    ScriptedServices services;
    TunerDialog dialog(services);
    dialog.OpenFiles({Q(dir.File("sample.csv")), Q(dir.File("sample.bin"))});
    Click(dialog, IDC_PREVIEW);
    PassWindow& pass = *dialog.passWindow();
    const auto table = json["records_used"].get<int>();
    const auto idle = json["trim_cells"][16]["records"].get<int>();
    QCOMPARE(idle, json["record_fates"]["used"]["16"].get<int>());
    const QString summary = pass.summaryLabel()->text();
    QVERIFY2(summary.contains(QStringLiteral("; %1 record(s) used: %2 by the fuel trim cells, %3 "
                                             "by the idle cell;")
                                  .arg(table + idle)
                                  .arg(table)
                                  .arg(idle)),
             qPrintable(summary));
    QVERIFY(summary.section(QLatin1Char('\n'), 1, 1)
                .endsWith(QStringLiteral(", %1 used").arg(table + idle)));
    for (int row = 0; row < 25; ++row) {
      for (int column = 0; column < 17; ++column) {
        const auto& cell = json["ve_cells"][static_cast<std::size_t>(row * 17 + column)];
        const int hits = cell["hits"].get<int>();
        const int idleHits = cell["idle_hits"].get<int>();
        const QString tip = pass.veModel().index(row, column).data(Qt::ToolTipRole).toString();
        QVERIFY2(tip.endsWith(QStringLiteral("\n%1 record(s) used in this cell: %2 by the fuel "
                                             "trim cells, %3 by the idle cell")
                                  .arg(hits + idleHits)
                                  .arg(hits)
                                  .arg(idleHits)),
                 qPrintable(tip));
        const QString records = pass.recordsView()->model().CellText(row, column);
        if (hits + idleHits > 0) {
          QVERIFY2(records.contains(QStringLiteral("\n%1 used: %2 by the fuel trim cells, %3 by "
                                                   "the idle cell")
                                        .arg(hits + idleHits)
                                        .arg(hits)
                                        .arg(idleHits)),
                   qPrintable(records));
        }
      }
    }
    const QModelIndex blended = pass.veModel().index(2, 3);
    QCOMPARE(pass.veModel().CellAt(blended), (GridCell{800, 35}));
    QVERIFY(json["ve_cells"][2 * 17 + 3]["idle_hits"].get<int>() > 0);
    QVERIFY(!blended.data(Qt::FontRole).value<QFont>().italic());
  }

  // The limits line names the total limit with its baseline and the locks,
  // each with its option and what it held, and the warnings list every cell
  // they held, as the report does.
  void limitsLineNamesTheTotalLimitAndTheLocks() {
    Previewed run;
    run.services.onOptions = [](OptionsDialog& options) {
      options.maxTotalChangeBox()->setChecked(true);
      options.maxTotalChangeField()->setText(QStringLiteral("1"));
    };
    run.services.menuChoice = QStringLiteral("&Options...");
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(2, 2),
                                 run.dialog->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(run.dialog.get(), &rightClick);
    Click(*run.dialog, IDC_PREVIEW);
    PassWindow& pass = *run.pass;
    Drag(pass, QPoint(6, 4), QPoint(7, 5));
    QTest::mouseClick(pass.lockButton(), Qt::LeftButton);

    QStringList held;
    QStringList locked;
    for (int k = 0; k < pass.warningList()->count(); ++k) {
      const QString warning = pass.warningList()->item(k)->text();
      if (warning.contains(QStringLiteral(" held by the total limit: "))) held << warning;
      if (warning.contains(QStringLiteral(" locked: factor "))) locked << warning;
    }
    QVERIFY(!held.isEmpty());
    QCOMPARE(locked.size(), 4);
    const QString limits = pass.summaryLabel()->text().section(QLatin1Char('\n'), -1);
    QCOMPARE(limits, QStringLiteral("Limits on: VE within 1 % of the baseline, %1 itself (its "
                                    "history holds no pass yet) (--max-total-change: %2 VE "
                                    "cell(s) held); 4 VE cell(s) locked on the image (--lock: 4 "
                                    "kept their bytes)")
                         .arg(Q(run.dir.File("car.bin")))
                         .arg(held.size()));
  }
};

}  // namespace trimwright

QTEST_MAIN(trimwright::PassWindowTest)
#include "PassWindowTest.moc"
