// The models of an image's history and of a comparison without a screen:
// the progress table and the chart's points, and the difference of two
// images in the VE grid's model.
#include <QTest>

#include "app/ImageCompare.h"
#include "gui/CompareTableModel.h"
#include "gui/ProgressModel.h"

namespace trimwright {

class HistoryModelsTest : public QObject {
  Q_OBJECT

 private slots:
  // The progress of a made-up history: a pass, a pass later undone, its
  // undo and a damaged entry, in the table and as the chart's points.
  void progressShowsPassesUndosAndDamage() {
    std::vector<ProgressPoint> points(4);
    for (std::size_t k = 0; k < 4; ++k) {
      points[k].number = k + 1;
      points[k].time = "2026-12-09 10:1" + std::to_string(k) + ":00";
    }
    points[0].kind = points[1].kind = "pass";
    points[0].planRead = points[1].planRead = true;
    points[0].targetBlm = 124;
    points[0].recordsUsed = 900;
    points[0].cellsChanged = 208;
    points[0].logs = {{"/logs/drive1.uni", 1000u}};
    points[0].distance = TrimDistance{3.25, 7.5, 6};
    points[0].left = TrimDistance{2.0, 5.0, 6};
    points[0].right = TrimDistance{3.25, 7.5, 6};
    points[1].undone = true;
    points[1].distance = points[1].left = points[1].right = TrimDistance{1.5, 2.0, 1};
    points[2].kind = "undo";
    points[2].undoes = 2;
    points[2].imageAsLeft = true;
    points[3].damage = "its manifest cannot be read";
    ProgressModel model;
    model.SetProgress(points);
    QCOMPARE(model.rowCount(), 4);
    auto text = [&model](int row, int column) {
      return model.index(row, column).data().toString();
    };
    QCOMPARE(text(0, ProgressModel::kLogs), QStringLiteral("drive1.uni"));
    QCOMPARE(text(0, ProgressModel::kRecords), QStringLiteral("900"));
    QCOMPARE(text(0, ProgressModel::kCellsChanged), QStringLiteral("208"));
    QCOMPARE(text(2, ProgressModel::kCellsChanged), QString());
    QCOMPARE(text(0, ProgressModel::kMean), QStringLiteral("3.25"));
    QCOMPARE(text(0, ProgressModel::kWorst), QStringLiteral("7.50 (cell 6)"));
    QCOMPARE(text(0, ProgressModel::kLeft), QStringLiteral("2.00"));
    QCOMPARE(text(1, ProgressModel::kEntry), QStringLiteral("pass (undone)"));
    QCOMPARE(text(2, ProgressModel::kEntry), QStringLiteral("undo of #2"));
    QCOMPARE(text(2, ProgressModel::kMean), QString());
    QCOMPARE(text(2, ProgressModel::kImage), QStringLiteral("as left"));
    QCOMPARE(text(3, ProgressModel::kEntry),
             QStringLiteral("damaged: its manifest cannot be read"));
    QCOMPARE(model.Line(ProgressModel::Bank::kRight),
             (QList<QPointF>{QPointF(1, 3.25), QPointF(2, 1.5)}));
    QCOMPARE(model.Line(ProgressModel::Bank::kLeft),
             (QList<QPointF>{QPointF(1, 2.0), QPointF(2, 1.5)}));
    QCOMPARE(model.Undone(ProgressModel::Bank::kLeft), QList<QPointF>{QPointF(2, 1.5)});
    QCOMPARE(model.Undos(), QList<double>{3.0});
    QCOMPARE(model.Damaged(), QList<double>{4.0});
    QCOMPARE(model.HighestDistance(), 3.25);
    QCOMPARE(model.FirstNumber(), 1.0);
    QCOMPARE(model.LastNumber(), 4.0);
  }

  // The difference of two images in the VE grid's model: the change from
  // A to B, A's and B's VE, both bytes in the tooltip, a missing cell blank
  // and hatched.
  void comparisonShowsTheDifferenceAsAPassWould() {
    ImageComparison comparison;
    for (int row = 0; row < 25; ++row) {
      for (int column = 0; column < 17; ++column) {
        ComparedCell cell;
        cell.row = row;
        cell.column = column;
        cell.rpm = row < 19 ? 400 + 200 * row : 4500 + 500 * (row - 19);
        cell.kpa = 20 + 5 * column;
        if (row < 24) cell.a = cell.b = std::uint8_t{100};
        comparison.grid.push_back(cell);
      }
    }
    comparison.grid[2 * 17 + 3].b = std::uint8_t{110};
    CompareTableModel model;
    model.SetComparison(comparison);
    QCOMPARE(model.index(2, 3).data().toString(), QStringLiteral("+10.0"));
    QCOMPARE(model.index(2, 4).data().toString(), QStringLiteral("0"));
    QCOMPARE(model.index(2, 3).data(VeTableModel::kMarksRole).toInt(), 0);
    QVERIFY(model.index(2, 3)
                .data(Qt::ToolTipRole)
                .toString()
                .contains(QStringLiteral("A: 100 (39.1 %)\nB: 110 (43.0 %)\nchange 10.0 %")));
    QCOMPARE(model.index(24, 0).data().toString(), QString());
    QCOMPARE(model.index(24, 0).data(VeTableModel::kMarksRole).toInt(),
             static_cast<int>(VeTableModel::kUntuned));
    model.SetShow(VeTableModel::Show::kNewVe);
    QCOMPARE(model.index(2, 3).data().toString(), QStringLiteral("43.0"));
    QCOMPARE(model.index(2, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
  }
};

}  // namespace trimwright

QTEST_GUILESS_MAIN(trimwright::HistoryModelsTest)
#include "HistoryModelsTest.moc"
