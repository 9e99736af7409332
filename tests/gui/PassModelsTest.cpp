// The pass window's models without a screen: what each VE cell shows in each
// view, its colour on the diverging scale, its marks (overflow, idle, untuned,
// no data, capped), and the fuel trim table's layout and colours.
#include <QTest>

#include "calibration/PassPlan.h"
#include "gui/TrimTableModel.h"
#include "gui/VeTableModel.h"

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
};

}  // namespace trimwright

QTEST_GUILESS_MAIN(trimwright::PassModelsTest)
#include "PassModelsTest.moc"
