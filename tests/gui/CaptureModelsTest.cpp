// The capture window's parts without a screen: where each fuel trim cell
// sits, what it shows as records come in (counts, both BLMs' averages, the
// current cell), which cells are faint for want of data at each edge of the
// limit, their colours; and the serial ports listed, in their order.
#include <QColor>
#include <QFont>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "capture/CaptureTally.h"
#include "capture/SerialPorts.h"
#include "gui/CaptureCellsModel.h"
#include "gui/TrimTableModel.h"
#include "tests/support/TempDir.h"

namespace trimwright {
namespace {

namespace fs = std::filesystem;

// Records into a tally, each in cell with the two BLMs given.
struct Drive {
  CaptureTally tally;
  std::chrono::milliseconds at{0};

  const CaptureStatus& Add(int cell, int left, int right, int count = 1) {
    StreamValues values;
    values.blmCell = cell;
    values.blmLeft = left;
    values.blmRight = right;
    for (int k = 0; k < count; ++k) tally.AddRecord(values, at += std::chrono::milliseconds(70));
    return tally.StatusAt({}, at, {}, 0);
  }
};

void Touch(const fs::path& path) { std::ofstream(path.string()) << ""; }

}  // namespace

class CaptureModelsTest : public QObject {
  Q_OBJECT

 private slots:
  // Rows by MAP band, highest first, columns by rpm band, as the pass
  // window's fuel trim table; the idle cell, 17 and 18 in the fifth row.
  void cellsSitWhereTheFuelTrimTableHasThem_data() {
    QTest::addColumn<int>("cell");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    for (const auto& [cell, row, column] : std::initializer_list<std::array<int, 3>>{{0, 3, 0},
                                                                                     {3, 3, 3},
                                                                                     {5, 2, 1},
                                                                                     {12, 0, 0},
                                                                                     {15, 0, 3},
                                                                                     {16, 4, 0},
                                                                                     {17, 4, 1},
                                                                                     {18, 4, 2}}) {
      QTest::addRow("cell %d", cell) << cell << row << column;
    }
  }
  void cellsSitWhereTheFuelTrimTableHasThem() {
    QFETCH(int, cell);
    QFETCH(int, row);
    QFETCH(int, column);
    CaptureCellsModel model;
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.columnCount(), 4);
    const QModelIndex at = model.IndexOfCell(cell);
    QCOMPARE(at.row(), row);
    QCOMPARE(at.column(), column);
    QCOMPARE(CaptureCellsModel::CellAt(at), cell);
    QVERIFY(model.data(at).toString().startsWith(
        (cell == 16 ? QStringLiteral("idle 16: ") : QStringLiteral("%1: ").arg(cell)) +
        QStringLiteral("0 rec")));
    // Every place shows one cell, the last of the fifth row none.
    QCOMPARE(CaptureCellsModel::CellAt(model.index(4, 3)), -1);
    QVERIFY(!model.data(model.index(4, 3)).isValid());
    QVERIFY(!model.IndexOfCell(19).isValid() && !model.IndexOfCell(-1).isValid());
  }

  void showsRecordsAndAveragesAndMarksTheCurrentCell() {
    CaptureCellsModel model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    Drive drive;
    drive.Add(5, 127, 130, 2);
    drive.Add(5, 128, 131);
    drive.Add(16, 120, 121);
    model.SetStatus(drive.Add(17, 140, 141));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.data(model.IndexOfCell(5)).toString(),
             QStringLiteral("5: 3 rec\n127.3 / 130.3"));
    QCOMPARE(model.data(model.IndexOfCell(16)).toString(),
             QStringLiteral("idle 16: 1 rec\n120.0 / 121.0"));
    QCOMPARE(model.data(model.IndexOfCell(6)).toString(), QStringLiteral("6: 0 rec"));
    QCOMPARE(model.currentCell(), 17);
    for (int cell = 0; cell <= 18; ++cell) {
      const QModelIndex at = model.IndexOfCell(cell);
      QCOMPARE(model.data(at, CaptureCellsModel::kCurrentRole).toBool(), cell == 17);
      QCOMPARE(model.data(at, Qt::FontRole).value<QFont>().bold(), cell == 17);
      QCOMPARE(model.data(at, Qt::BackgroundRole).value<QColor>() == QColor(255, 214, 10),
               cell == 17);
    }
    QVERIFY(model.data(model.IndexOfCell(17), Qt::ToolTipRole).toString().contains("now"));

    // A record beyond cell 18 counts nowhere and marks no cell.
    model.SetStatus(drive.Add(19, 128, 128));
    QCOMPARE(model.currentCell(), -1);
    QCOMPARE(model.Cell(5).records, 3u);
    // Nor does a status before the first record, or a cleared model.
    model.SetStatus(CaptureStatus());
    QCOMPARE(model.currentCell(), -1);
    model.SetStatus(drive.Add(0, 128, 128));
    QCOMPARE(model.currentCell(), 0);
    model.Clear();
    QCOMPARE(model.currentCell(), -1);
    QCOMPARE(model.Cell(5).records, 0u);
    QCOMPARE(model.data(model.IndexOfCell(5)).toString(), QStringLiteral("5: 0 rec"));
  }

  // A cell a pass reads is faint under 50 records, or under the pass's
  // record minimum when that is higher; 17 and 18 never are, being grey;
  // the current cell is marked whatever it holds.
  void fadesTheCellsThatNeedMoreData_data() {
    QTest::addColumn<int>("minRecords");
    QTest::addColumn<int>("cell");
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("faint");
    QTest::newRow("none") << 0 << 3 << 0 << true;
    QTest::newRow("one under 50") << 0 << 3 << 49 << true;
    QTest::newRow("exactly 50") << 0 << 3 << 50 << false;
    QTest::newRow("a lower minimum keeps 50") << 10 << 3 << 49 << true;
    QTest::newRow("one under the minimum") << 80 << 3 << 79 << true;
    QTest::newRow("exactly the minimum") << 80 << 3 << 80 << false;
    QTest::newRow("idle cell, one under") << 0 << 16 << 49 << true;
    QTest::newRow("idle cell, exactly") << 0 << 16 << 50 << false;
    QTest::newRow("cell 17, none") << 0 << 17 << 0 << false;
    QTest::newRow("cell 18, few") << 80 << 18 << 3 << false;
  }
  void fadesTheCellsThatNeedMoreData() {
    QFETCH(int, minRecords);
    QFETCH(int, cell);
    QFETCH(int, records);
    QFETCH(bool, faint);
    CaptureCellsModel model;
    model.SetMinRecords(minRecords);
    Drive drive;
    if (records > 0) drive.Add(cell, 132, 126, records);
    // The engine is elsewhere, then in the cell.
    model.SetStatus(drive.Add(cell == 0 ? 1 : 0, 128, 128));
    const QModelIndex at = model.IndexOfCell(cell);
    QCOMPARE(model.data(at, CaptureCellsModel::kNeedsDataRole).toBool(), faint);
    QCOMPARE(model.data(at, Qt::FontRole).value<QFont>().italic(), faint);
    QCOMPARE(model.data(at, Qt::ForegroundRole).value<QColor>() == QColor(Qt::black), !faint);
    const QColor background = model.data(at, Qt::BackgroundRole).value<QColor>();
    if (cell >= 17) {
      QCOMPARE(background, QColor(225, 225, 225));
      QVERIFY(model.data(at, Qt::ToolTipRole).toString().contains("no pass reads"));
    } else if (faint) {
      QCOMPARE(background, QColor(246, 246, 246));
      QVERIFY(model.data(at, Qt::ToolTipRole)
                  .toString()
                  .contains(QStringLiteral("fewer than %1 records").arg(model.enoughRecords())));
    } else {
      // Left 132 and right 126 against 124: the left bank, 8 above, decides.
      QCOMPARE(background, TrimTableModel::DistanceColor(8.0));
    }
    if (cell == 0) return;
    model.SetStatus(drive.Add(cell, 132, 126));
    QCOMPARE(model.data(at, CaptureCellsModel::kCurrentRole).toBool(), true);
    QCOMPARE(model.data(at, Qt::FontRole).value<QFont>().italic(), false);
    QCOMPARE(model.data(at, Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
  }

  void coloursByTheBankFartherFromTheTarget() {
    CaptureCellsModel model;
    Drive drive;
    model.SetStatus(drive.Add(9, 130, 120, 60));
    model.SetStatus(drive.Add(0, 128, 128));
    const QModelIndex at = model.IndexOfCell(9);
    QCOMPARE(model.data(at, Qt::BackgroundRole).value<QColor>(),
             TrimTableModel::DistanceColor(6.0));
    model.SetTargetBlm(128);
    QCOMPARE(model.data(at, Qt::BackgroundRole).value<QColor>(),
             TrimTableModel::DistanceColor(-8.0));
  }

  // The bands by the image's boundaries, by number where there is none.
  void namesTheBandsByTheImagesBoundaries() {
    CaptureCellsModel model;
    QSignalSpy changed(&model, &QAbstractItemModel::headerDataChanged);
    auto header = [&model](int section, Qt::Orientation side) {
      return model.headerData(section, side).toString();
    };
    QCOMPARE(header(0, Qt::Horizontal), QStringLiteral("rpm band 1"));
    QCOMPARE(header(0, Qt::Vertical), QStringLiteral("MAP band 4"));
    model.SetBands({0, 1200, 2000, 2800, 7000}, {0, 40, 60, 80, 104});
    QCOMPARE(changed.count(), 2);
    QCOMPARE(header(0, Qt::Horizontal), QStringLiteral("0-1200 rpm"));
    QCOMPARE(header(3, Qt::Horizontal), QStringLiteral("2800-7000 rpm"));
    QCOMPARE(header(0, Qt::Vertical), QStringLiteral("80-104 kPa"));
    QCOMPARE(header(3, Qt::Vertical), QStringLiteral("0-40 kPa"));
    QCOMPARE(header(4, Qt::Vertical), QStringLiteral("idle, 17, 18"));
    model.SetBands({0, 1200, 2000, 7000}, {0, 40, 60, 80, 104});
    QCOMPARE(header(3, Qt::Horizontal), QStringLiteral("rpm band 4"));
    QCOMPARE(header(3, Qt::Vertical), QStringLiteral("MAP band 1"));
  }

  // by-id names first with where they lead, then ttyUSB, ttyACM and ttyS in
  // number order; names that are no port, a dangling by-id name and a
  // built-in port without a chip are left out.
  void listsTheSerialPortsInTheirOrder() {
    testing::TempDir dir;
    const fs::path dev = fs::path(dir.File("dev"));
    const fs::path sys = fs::path(dir.File("sys"));
    fs::create_directories(dev / "serial/by-id");
    for (const char* name : {"ttyUSB1", "ttyUSB0", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS10",
                             "ttyS2", "ttyS3", "ttyS", "ttySX", "tty0", "ttyUSBx1", "console"}) {
      Touch(dev / name);
    }
    fs::create_symlink("../../ttyUSB1", dev / "serial/by-id/usb-B-port0");
    fs::create_symlink("../../ttyACM0", dev / "serial/by-id/usb-A-if00");
    fs::create_symlink("../../ttyUSB7", dev / "serial/by-id/usb-C-gone");
    for (const auto& [name, type] : {std::pair{"ttyS2", "4"}, std::pair{"ttyS3", "0"}}) {
      fs::create_directories(sys / "class/tty" / name);
      std::ofstream((sys / "class/tty" / name / "type").string()) << type << "\n";
    }
    const std::vector<SerialPort> ports = ListSerialPorts(dev.string(), sys.string());
    QStringList listed;
    for (const SerialPort& port : ports) {
      listed << QString::fromStdString(fs::path(port.path).lexically_relative(dev).string() +
                                       (port.target.empty() ? "" : " -> " + port.target));
    }
    const QString canonical = QString::fromStdString(fs::canonical(dev).string());
    const QStringList expected = {"serial/by-id/usb-A-if00 -> " + canonical + "/ttyACM0",
                                  "serial/by-id/usb-B-port0 -> " + canonical + "/ttyUSB1",
                                  "ttyUSB0",
                                  "ttyUSB1",
                                  "ttyUSB2",
                                  "ttyUSB10",
                                  "ttyACM0",
                                  "ttyS2",
                                  "ttyS10"};
    QCOMPARE(listed, expected);
    QVERIFY(ListSerialPorts(dir.File("none"), sys.string()).empty());
  }
};

}  // namespace trimwright

QTEST_GUILESS_MAIN(trimwright::CaptureModelsTest)
#include "CaptureModelsTest.moc"
