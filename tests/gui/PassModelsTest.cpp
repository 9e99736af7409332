// The pass window's models without a screen: what each VE cell shows in each
// view, its colour on the diverging scale, its marks (overflow, idle, untuned,
// no data, capped), the fuel trim table's layout, colours and held-back
// cells, the scatter of the records by fate, and the texts of the records'
// fates and the limits.
#include <QFont>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "calibration/PassPlan.h"
#include "calibration/RecordSample.h"
#include "calibration/VEGrid.h"
#include "gui/PassNotes.h"
#include "gui/RecordScatterModel.h"
#include "gui/TrimTableModel.h"
#include "gui/VeTableModel.h"
#include "tests/support/FakeLog.h"

namespace trimwright {
namespace {

// A plan of 25 by 17 cells, all tuned up to row 12, old byte 100 and new 100,
// each with one hit; tests change the cells they look at.
PassPlan Plan() {
  PassPlan plan;
  plan.veScale = 0.390588f;
  plan.targetBlm = 124;
  for (int row = 0; row < 25; ++row) {
    for (int column = 0; column < 17; ++column) {
      VECellPlan cell;
      cell.row = row;
      cell.column = column;
      cell.rpm = row < 19 ? 400 + 200 * row : 4500 + 500 * (row - 19);
      cell.kpa = 20 + 5 * column;
      cell.inImage = row < 24;
      cell.tuned = row <= 12;
      cell.oldValue = cell.newValue = 100;
      cell.hits = 1;
      plan.grid.push_back(cell);
    }
  }
  for (int k = 0; k < 16; ++k) {
    TrimCellStats cell;
    cell.number = k;
    cell.rpmLow = (k % 4) * 1000;
    cell.rpmHigh = cell.rpmLow + 1000;
    cell.mapLow = static_cast<float>((k / 4) * 25);
    cell.mapHigh = cell.mapLow + 25.0f;
    plan.trimCells.push_back(cell);
  }
  plan.idleCell.number = 16;
  return plan;
}

VECellPlan& At(PassPlan& plan, int row, int column) {
  return plan.grid[static_cast<std::size_t>(row * 17 + column)];
}

}  // namespace

class PassModelsTest : public QObject {
  Q_OBJECT

 private slots:
  void veCellsShowTheirNumbersColoursAndMarks() {
    PassPlan plan = Plan();
    At(plan, 2, 3).newValue = 110;  // richer, +10 %
    At(plan, 2, 4).newValue = 95;   // leaner, -5 %
    At(plan, 2, 5).overflow = true;
    At(plan, 2, 6).idle = true;
    At(plan, 2, 7).hits = 0;
    At(plan, 2, 8).capped = true;
    VeTableModel model;
    model.SetPlan(plan);
    QCOMPARE(model.rowCount(), 25);
    QCOMPARE(model.columnCount(), 17);
    QCOMPARE(model.headerData(2, Qt::Vertical).toString(), QStringLiteral("800"));
    QCOMPARE(model.headerData(16, Qt::Horizontal).toString(), QStringLiteral("100"));

    auto text = [&](int row, int column) { return model.index(row, column).data().toString(); };
    auto marks = [&](int row, int column) {
      return model.index(row, column).data(VeTableModel::kMarksRole).toInt();
    };
    auto colour = [&](int row, int column) {
      return model.index(row, column).data(Qt::BackgroundRole).value<QColor>();
    };
    QCOMPARE(text(2, 3), QStringLiteral("+10.0"));
    QCOMPARE(text(2, 4), QStringLiteral("-5.0"));
    QCOMPARE(text(2, 0), QStringLiteral("0"));
    // A row beyond the rpm limit is not tuned: no change, not a change of 0;
    // its old and new VE are the byte it keeps.
    QCOMPARE(text(13, 0), QString());
    model.SetShow(VeTableModel::Show::kNewVe);
    QCOMPARE(text(2, 3), QStringLiteral("43.0"));
    QCOMPARE(text(13, 0), QStringLiteral("39.1"));
    model.SetShow(VeTableModel::Show::kOldVe);
    QCOMPARE(text(2, 3), QStringLiteral("39.1"));
    QCOMPARE(text(24, 0), QString());  // not in the image

    // Warm for richer, cool for leaner, neutral for none, grey beyond the limit.
    QVERIFY(colour(2, 3).red() > colour(2, 3).blue());
    QVERIFY(colour(2, 4).blue() > colour(2, 4).red());
    QCOMPARE(colour(2, 0), VeTableModel::ChangeColor(0.0));
    QCOMPARE(VeTableModel::ChangeColor(25.0), VeTableModel::ChangeColor(10.0));
    QCOMPARE(colour(13, 0), VeTableModel::UntunedColor());

    QCOMPARE(marks(2, 0), 0);
    QCOMPARE(marks(2, 5), int(VeTableModel::kOverflow));
    QCOMPARE(marks(2, 6), int(VeTableModel::kIdle));
    QCOMPARE(marks(2, 7), int(VeTableModel::kNoHits));
    QCOMPARE(marks(2, 8), int(VeTableModel::kCapped));
    QCOMPARE(marks(13, 0), int(VeTableModel::kUntuned));
    QVERIFY(model.index(2, 7).data(Qt::ForegroundRole).value<QColor>() !=
            model.index(2, 0).data(Qt::ForegroundRole).value<QColor>());
    QVERIFY(model.index(2, 5).data(Qt::ToolTipRole).toString().contains("overflow"));
    QVERIFY(model.index(13, 0).data(Qt::ToolTipRole).toString().contains("not tuned"));

    // The 7000 rpm row, where the image holds it: its VE shown, never tuned.
    At(plan, 24, 0).inImage = true;
    At(plan, 24, 0).oldValue = At(plan, 24, 0).newValue = 200;
    model.SetPlan(plan);
    QCOMPARE(text(24, 0), QStringLiteral("78.1"));
    QCOMPARE(marks(24, 0), int(VeTableModel::kUntuned));
    const QString tip = model.index(24, 0).data(Qt::ToolTipRole).toString();
    QVERIFY2(tip.contains("old 200 (78.1 %)") && tip.contains("never tuned"), qPrintable(tip));
  }

  // A cell's records are those the fuel trim cells and the idle cell used
  // in its band; a cell blended with the idle cell's factor has the idle
  // cell's records behind it. Only a cell with neither is faint.
  void veCellsCountEveryRecordUsed() {
    PassPlan plan = Plan();
    plan.idleCell.records = 58;
    At(plan, 2, 3).hits = 0;
    At(plan, 2, 3).idleHits = 7;
    At(plan, 2, 4).hits = 0;
    At(plan, 2, 4).idle = true;
    At(plan, 2, 4).idleFactor = 1.03f;
    At(plan, 2, 5).hits = 0;
    At(plan, 13, 4).hits = 0;  // untuned: no idle blend counts
    At(plan, 13, 4).idle = true;
    VeTableModel model;
    model.SetPlan(plan);
    auto faint = [&](int row, int column) {
      const bool italic = model.index(row, column).data(Qt::FontRole).value<QFont>().italic();
      const bool marked =
          model.index(row, column).data(VeTableModel::kMarksRole).toInt() & VeTableModel::kNoHits;
      return italic && marked;
    };
    auto tip = [&](int row, int column) {
      return model.index(row, column).data(Qt::ToolTipRole).toString();
    };
    QVERIFY(!faint(2, 3) && !faint(2, 4) && !faint(2, 0));
    QVERIFY(faint(2, 5) && faint(13, 4));
    QVERIFY2(tip(2, 3).endsWith("\n7 record(s) used in this cell: 0 by the fuel trim cells, 7 by "
                                "the idle cell"),
             qPrintable(tip(2, 3)));
    QVERIFY2(tip(2, 4).contains("idle factor 1.03 from the idle cell's 58 record(s), mean 1\n"),
             qPrintable(tip(2, 4)));
    QVERIFY(
        tip(2, 0).endsWith("\n1 record(s) used in this cell: 1 by the fuel trim cells, 0 by "
                           "the idle cell"));
    // Without the idle cell's records, its blend is no data.
    plan.idleCell.records = 0;
    model.SetPlan(plan);
    QVERIFY(faint(2, 4) && !faint(2, 3));
  }

  // Narrow, the change shows whole percents (a rise under a half as +0);
  // the VE views and the tooltip keep the tenths.
  void compactChangesKeepTheirSign() {
    PassPlan plan = Plan();
    At(plan, 2, 3).newValue = 110;
    At(plan, 2, 4).newValue = 95;
    At(plan, 2, 5).oldValue = 250;
    At(plan, 2, 5).newValue = 251;
    VeTableModel model;
    model.SetPlan(plan);
    const QModelIndex small = model.index(2, 5);
    QCOMPARE(small.data().toString(), QStringLiteral("+0.4"));
    QCOMPARE(model.TextAt(small, true), QStringLiteral("+0"));
    model.SetCompact(true);
    QCOMPARE(model.index(2, 3).data().toString(), QStringLiteral("+10"));
    QCOMPARE(model.index(2, 4).data().toString(), QStringLiteral("-5"));
    QCOMPARE(small.data().toString(), QStringLiteral("+0"));
    QCOMPARE(model.index(2, 0).data().toString(), QStringLiteral("0"));
    QCOMPARE(model.TextAt(small, false), QStringLiteral("+0.4"));
    QVERIFY(small.data(Qt::ToolTipRole).toString().contains(QStringLiteral("change 0.4 %")));
    model.SetShow(VeTableModel::Show::kNewVe);
    QCOMPARE(model.index(2, 3).data().toString(), QStringLiteral("43.0"));
  }

  void trimCellsLieByMapAndRpmWithTheIdleCellBelow() {
    PassPlan plan = Plan();
    plan.trimCells[12].records = 3;  // top MAP band, lowest rpm band
    plan.trimCells[12].left = {130, 130.0, 130};
    plan.trimCells[12].right = {128, 128.0, 128};
    plan.trimCells[1].records = 2;
    plan.trimCells[1].left = plan.trimCells[1].right = {118, 118.0, 118};
    plan.idleCell.records = 4;
    plan.idleCell.left = plan.idleCell.right = {124, 124.5, 125};
    TrimTableModel model;
    model.SetPlan(plan);
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("12: 3 rec\n130.0 / 128.0"));
    QCOMPARE(model.index(3, 1).data().toString(), QStringLiteral("1: 2 rec\n118.0 / 118.0"));
    QCOMPARE(model.index(4, 0).data().toString(), QStringLiteral("16: 4 rec\n124.5 / 124.5"));
    QVERIFY(!model.index(4, 1).data().isValid());
    QCOMPARE(model.headerData(4, Qt::Vertical).toString(), QStringLiteral("idle"));
    // Six counts above the target: warm; six below: cool; within one: neutral.
    const QColor above = model.index(0, 0).data(Qt::BackgroundRole).value<QColor>();
    const QColor below = model.index(3, 1).data(Qt::BackgroundRole).value<QColor>();
    QVERIFY(above.red() > above.blue());
    QVERIFY(below.blue() > below.red());
    QCOMPARE(model.index(4, 0).data(Qt::BackgroundRole).value<QColor>(),
             TrimTableModel::DistanceColor(0.5));
  }

  // Banks on both sides of the target: the one farther from it decides the
  // colour, whichever side and whichever bank it is.
  void trimCellIsColouredByTheBankFartherFromTheTarget() {
    PassPlan plan = Plan();
    plan.trimCells[2].records = plan.trimCells[3].records = 1;
    plan.trimCells[2].left = {130, 130.0, 130};   // 6 above
    plan.trimCells[2].right = {121, 121.0, 121};  // 3 below
    plan.trimCells[3].left = {126, 126.0, 126};   // 2 above
    plan.trimCells[3].right = {118, 118.0, 118};  // 6 below
    TrimTableModel model;
    model.SetPlan(plan);
    QCOMPARE(model.index(3, 2).data(Qt::BackgroundRole).value<QColor>(),
             TrimTableModel::DistanceColor(6.0));
    QCOMPARE(model.index(3, 3).data(Qt::BackgroundRole).value<QColor>(),
             TrimTableModel::DistanceColor(-6.0));
  }

  // Each sampled record is a point of its own fate, in the VE cell of its rpm
  // and MAP; the counts by cell are exact.
  void scatterPutsEachRecordInItsFateAndCell() {
    testing::FakeLog log{{.rpm = 1600, .map = 50.0f},
                         {.rpm = 800, .map = 30.0f, .engineWarm = false},
                         {.rpm = 3000, .map = 95.0f, .highThrottle = true},
                         {.rpm = 2400, .map = 60.0f, .auxLeft = 150},
                         {.rpm = 1650, .map = 51.0f, .blmCell = 17}};
    auto sample = std::make_shared<RecordSample>(log.recordCount);
    sample->Add(log, AuxWindow{118, 138}, 16, 16);
    PassPlan plan = Plan();
    plan.recordSample = sample;
    plan.logs.resize(1);
    plan.logs[0].fates.rejected[static_cast<std::size_t>(Rejection::kRpm)] = 2;
    RecordScatterModel model;
    model.SetPlan(plan);
    QCOMPARE(model.Points(RecordFate::kUsed), QList<QPointF>{QPointF(1600, 50)});
    QCOMPARE(model.Points(RecordFate::kNotWarm), QList<QPointF>{QPointF(800, 30)});
    QCOMPARE(model.Points(RecordFate::kHighThrottle), QList<QPointF>{QPointF(3000, 95)});
    QCOMPARE(model.Points(RecordFate::kOutsideAuxWindow), QList<QPointF>{QPointF(2400, 60)});
    QCOMPARE(model.Points(RecordFate::kNoFuelTrimCell), QList<QPointF>{QPointF(1650, 51)});
    const int row = VEGrid::RowOf(1600);
    const int column = VEGrid::ColumnOf(50.0f);
    QCOMPARE(RecordScatterModel::CellAt(1600, 50), std::optional<QPoint>(QPoint(column, row)));
    QCOMPARE(RecordScatterModel::CellAt(1600, 106), std::nullopt);
    QCOMPARE(model.PointsIn(row, column), (QList<QPointF>{QPointF(1600, 50), QPointF(1650, 51)}));
    QCOMPARE(model.CellText(row, column),
             QStringLiteral("VE cell 1600 rpm, 50 kPa: 2 record(s)\n1 used: 1 by the fuel trim "
                            "cells, 0 by the idle cell\n1 no fuel trim cell (17, 18)"));
    // The used records parted as the plan's cell parts them.
    At(plan, row, column).hits = 0;
    At(plan, row, column).idleHits = 1;
    model.SetPlan(plan);
    QVERIFY2(model.CellText(row, column)
                 .contains("\n1 used: 0 by the fuel trim cells, 1 by the idle cell\n"),
             qPrintable(model.CellText(row, column)));
    QCOMPARE(model.LegendText(RecordFate::kUsed), QStringLiteral("used: 1"));
    QCOMPARE(model.Note(), QStringLiteral("All 5 records shown; 2 rejected by the reader have no "
                                          "place here; hover a VE cell for its records"));
    // The plot's grid: the VE bands' edges, and the fuel trim cells' inner
    // boundaries from the plan.
    const QList<double> rpm = RecordScatterModel::RpmEdges();
    QCOMPARE(rpm.size(), 26);
    QCOMPARE(rpm[1], 500.0);
    QCOMPARE(rpm[24], 6750.0);
    QCOMPARE(RecordScatterModel::KpaEdges().size(), 18);
    QCOMPARE(model.TrimRpmEdges(), (QList<double>{1000, 2000, 3000}));
    QCOMPARE(model.TrimKpaEdges(), (QList<double>{25, 50, 75}));
  }

  // With limits on, the window names each (with its option) and what each
  // held back, warns of every cell held, and marks the held-back fuel trim
  // cells; locks alone are named too.
  void limitsSayWhatTheyHeldBack() {
    PassPlan plan = Plan();
    plan.limits.minRecords = 30;
    plan.limits.maxChangePercent = 10.0;
    plan.heldBackCells = {3, 16};
    plan.trimCells[3].records = 12;
    plan.idleCell.records = 5;
    VECellPlan capped = At(plan, 10, 8);
    capped.tuned = capped.capped = true;
    capped.factor = 1.25f;
    capped.appliedFactor = 1.1f;
    plan.tunedCells = {At(plan, 10, 7), capped};
    QCOMPARE(PassNotes::LimitsLine(plan),
             QStringLiteral("Limits on: at least 30 records per fuel trim cell (--min-records: 2 "
                            "cell(s) held back); changes within 10 % per pass (--max-change: 1 VE "
                            "cell(s) capped)"));
    QCOMPARE(PassNotes::LimitWarnings(plan),
             (QStringList{QStringLiteral("Fuel trim cell 3 held back: 12 record(s), fewer than "
                                         "the minimum of 30, so it counts as no correction"),
                          QStringLiteral("The idle cell (16) held back: 5 record(s), fewer than "
                                         "the minimum of 30, so it counts as no correction"),
                          QStringLiteral("VE cell 2400 rpm, 60 kPa capped: factor 1.25 found, "
                                         "1.1 applied")}));
    TrimTableModel model;
    model.SetPlan(plan);
    QVERIFY(model.index(3, 3).data().toString().endsWith(QStringLiteral("\nheld back")));
    QVERIFY(!model.index(3, 2).data().toString().contains(QStringLiteral("held back")));
    QVERIFY(model.index(4, 0).data().toString().endsWith(QStringLiteral("\nheld back")));
    QCOMPARE(PassNotes::LimitsLine(Plan()), QString());
    QCOMPARE(PassNotes::LimitWarnings(Plan()), QStringList());

    // Locks alone.
    PassPlan locked = Plan();
    locked.limits.locked = {{2400, 55}, {2400, 60}};
    VECellPlan kept = At(locked, 10, 8);
    kept.tuned = kept.locked = true;
    kept.idle = true;
    kept.blendedFactor = 1.05f;
    kept.oldValue = kept.newValue = 90;
    locked.tunedCells = {kept};
    QCOMPARE(PassNotes::LimitsLine(locked),
             QStringLiteral("Limits on: 2 VE cell(s) locked on the image (--lock: 1 kept their "
                            "bytes)"));
    QCOMPARE(PassNotes::LimitWarnings(locked),
             QStringList{"VE cell 2400 rpm, 60 kPa locked: factor 1.05 found, byte 90 kept"});

    // The total limit with its baseline, the window, and the two ways of
    // reading, in that order.
    PassPlan total = Plan();
    total.limits.maxTotalChangePercent = 5.0;
    total.limits.baseline = Baseline{"stock.bin", nullptr};
    total.limits.auxWindow = AuxWindow{118, 138};
    total.auxFilteredRecords = 7;
    total.limits.addSecondTrim = true;
    total.limits.smooth = true;
    VECellPlan held = At(total, 3, 2);
    held.tuned = held.totalCapped = true;
    held.extended = true;
    held.factor = 1.2f;
    held.appliedFactor = 1.04f;
    held.oldValue = 100;
    held.newValue = 104;
    held.baselineValue = 99;
    total.tunedCells = {held, At(total, 3, 3)};
    QCOMPARE(PassNotes::LimitsLine(total),
             QStringLiteral("Limits on: VE within 5 % of the baseline, stock.bin "
                            "(--max-total-change: 1 VE cell(s) held); second trims within 118-138 "
                            "(--aux-window: 7 record(s) left out); second trim added "
                            "(--add-second-trim); factors smoothed (--smooth)"));
    QCOMPARE(PassNotes::LimitWarnings(total),
             QStringList{"VE cell 1000 rpm, 30 kPa (extended table) held by the total limit: "
                         "factor 1.2 found, 1.04 applied, byte 100 -> 104 (baseline 99)"});
    PassPlan readings = Plan();
    readings.limits.smooth = true;
    QCOMPARE(PassNotes::LimitsLine(readings),
             QStringLiteral("Limits on: factors smoothed (--smooth)"));

    // One lock is named too; a cell both caps held is warned of twice, as
    // the report lists it in both sections.
    PassPlan one = Plan();
    one.limits.locked = {{2400, 60}};
    one.limits.maxChangePercent = 2.0;
    one.limits.maxTotalChangePercent = 5.0;
    VECellPlan both = At(one, 3, 2);
    both.tuned = both.capped = both.totalCapped = true;
    both.factor = 1.2f;
    both.appliedFactor = 1.02f;
    both.oldValue = 100;
    both.newValue = 102;
    both.baselineValue = 99;
    one.tunedCells = {both};
    QVERIFY(PassNotes::LimitsLine(one).endsWith(
        QStringLiteral("1 VE cell(s) locked on the image (--lock: 0 kept their bytes)")));
    const QStringList twice = PassNotes::LimitWarnings(one);
    QCOMPARE(twice.size(), 2);
    QVERIFY(twice[0].contains(QStringLiteral("capped")));
    QVERIFY(twice[1].contains(QStringLiteral("held by the total limit")));
  }

  // Switching the grid to whole percents redraws every cell, once.
  void compactFormRedrawsTheGrid() {
    VeTableModel model;
    model.SetPlan(Plan());
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.SetCompact(true);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].value<QModelIndex>(), model.index(0, 0));
    QCOMPARE(changed[0][1].value<QModelIndex>(),
             model.index(model.rowCount() - 1, model.columnCount() - 1));
    model.SetCompact(true);
    QCOMPARE(changed.size(), 1);
  }

  // A pass whose logs gave no record any cell used says so first.
  void fatesLineSaysWhenThereWasNothingToTune() {
    PassPlan plan = Plan();
    plan.logs.resize(2);
    plan.logs[0].fates.read = plan.logs[0].fates.notWarm = 3;
    plan.logs[1].fates.read = 1;
    plan.logs[1].fates.rejected[static_cast<std::size_t>(Rejection::kUnreadable)] = 1;
    QCOMPARE(PassNotes::FatesLine(plan),
             QStringLiteral("Nothing to tune, no record was used. Records: 4 read: 1 rejected "
                            "(unreadable 1), 3 not warm, 0 at high throttle, 0 outside the second "
                            "trim window, 0 used"));
    plan.logs[1].fates.used[5] = 1;
    plan.logs[1].fates.read = 2;
    QVERIFY(PassNotes::FatesLine(plan).startsWith(QStringLiteral("Records: 5 read:")));
    QVERIFY(
        PassNotes::FatesTable(plan).contains(QStringLiteral("Used by cell (16 is the idle "
                                                            "cell): 5: 1")));
  }

  // Text stays readable on every colour the grid uses, the darkest cells
  // included: plain text at a contrast of 4.5 at least, faint text (no
  // logged data) at 3, still fainter than plain and in italics.
  void textStaysReadableOnEveryCell() {
    QCOMPARE(qRound(VeTableModel::ContrastRatio(Qt::black, Qt::white)), 21);
    PassPlan plan = Plan();
    const int news[] = {50, 80, 90, 97, 100, 103, 110, 120, 200};
    for (int k = 0; k < 9; ++k) {
      At(plan, 1, k).newValue = static_cast<std::uint8_t>(news[k]);
      At(plan, 2, k).newValue = static_cast<std::uint8_t>(news[k]);
      At(plan, 2, k).hits = 0;
      At(plan, 20, k).hits = 0;  // untuned and faint
    }
    VeTableModel model;
    model.SetPlan(plan);
    for (int row : {1, 2, 20}) {
      for (int column = 0; column < 9; ++column) {
        const QModelIndex index = model.index(row, column);
        const auto text = index.data(Qt::ForegroundRole).value<QColor>();
        const auto background = index.data(Qt::BackgroundRole).value<QColor>();
        const bool faint = row != 1;
        const double contrast = VeTableModel::ContrastRatio(text, background);
        QVERIFY2(contrast >= (faint ? 3.0 : 4.5),
                 qPrintable(QStringLiteral("%1,%2: %3").arg(row).arg(column).arg(contrast)));
        QCOMPARE(index.data(Qt::FontRole).value<QFont>().italic(), faint);
        if (faint && row == 2) {
          QVERIFY(contrast <
                  VeTableModel::ContrastRatio(
                      model.index(1, column).data(Qt::ForegroundRole).value<QColor>(), background));
        }
      }
    }
  }
};

}  // namespace trimwright

QTEST_GUILESS_MAIN(trimwright::PassModelsTest)
#include "PassModelsTest.moc"
