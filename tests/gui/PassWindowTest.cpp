// The pass window on Qt's offscreen platform: cells selected and locked,
// its size on small screens, its comparisons.
#include "tests/gui/GuiTestSupport.h"

namespace trimwright {

using namespace guitest;

class PassWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setApplicationName(QString::fromLatin1(TunerApp::kApplicationName));
  }

  // Cells selected in the pass window are locked on the image at once; the
  // preview is planned again, and Apply and Process leave them as they were
  // until the window unlocks them.
  void cellsLockedInThePassWindowKeepTheirBytes() {
    TempDir dir;
    tools::WriteFile(dir.File("drive.txt"), LeanDrive());
    tools::WriteFile(dir.File("car.bin"), ImageBytes());
    ScriptedServices services;
    services.answers = {Q(dir.File("drive.txt")), Q(dir.File("car.bin"))};
    TunerDialog dialog(services);
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);
    CapturedOutput output;
    Click(dialog, IDC_PREVIEW);
    PassWindow* pass = dialog.passWindow();
    QTest::mouseClick(pass->lockButton(), Qt::LeftButton);
    QCOMPARE(services.events, QStringList{"message Select the VE cells to lock in the grid first"});
    // 1200 and 1400 rpm (rows 4 and 5) by 50 and 55 kPa (columns 6 and 7).
    const auto select = [pass] {
      pass->veView()->selectionModel()->select(
          QItemSelection(pass->veModel().index(4, 6), pass->veModel().index(5, 7)),
          QItemSelectionModel::Select);
    };
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
    select();
    QTest::mouseClick(pass->unlockButton(), Qt::LeftButton);
    QVERIFY(CellLocks::Read(dir.File("car.bin")).empty() && !marked(4, 6));
    const int before = bytes()[0];
    Click(dialog, IDC_PROCESS);
    QVERIFY(bytes()[0] != before);
  }

  // The pass window opens within the screen (a 1366 by 768 laptop's too);
  // shrunk to 800 by 560 its fuel trim table shows every number whole and
  // its warnings wrap. Compare with... and the history tab's Compare show the
  // difference; a failure comes in a box with the program's title.
  void passWindowFitsAndCompares() {
    TempDir dir;
    tools::WriteFile(dir.File("drive.txt"), LeanDrive());
    const std::string image = ImageBytes();
    tools::WriteFile(dir.File("car.bin"), image);
    tools::WriteFile(dir.File("stock.bin"), image);
    ScriptedServices services;
    services.answers = {Q(dir.File("drive.txt")), Q(dir.File("car.bin"))};
    TunerDialog dialog(services);
    dialog.show();
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);
    CapturedOutput output;
    Click(dialog, IDC_PROCESS);
    PassWindow* pass = dialog.passWindow();
    QVERIFY(pass && pass->isVisible());

    const QRect screen = pass->screen()->availableGeometry();
    QVERIFY2(screen.contains(pass->geometry()), qPrintable(QStringLiteral("%1x%2 on %3x%4")
                                                               .arg(pass->width())
                                                               .arg(pass->height())
                                                               .arg(screen.width())
                                                               .arg(screen.height())));
    const QRect laptop(0, 0, 1366, 768 - 32);
    const QRect fitted = FittedGeometry(PassWindow::kWantedSize, laptop);
    QVERIFY(laptop.contains(fitted.adjusted(-kFrameWidth / 2, -(kFrameHeight - kFrameWidth / 2),
                                            kFrameWidth / 2, kFrameWidth / 2)));
    QVERIFY(pass->minimumSizeHint().width() <= 800 && pass->minimumSizeHint().height() <= 560);

    pass->resize(800, 560);
    pass->tabs()->setCurrentIndex(0);
    pass->warningList()->addItem(QStringLiteral("A long warning ").repeated(20));
    QApplication::processEvents();
    QCOMPARE(pass->size(), QSize(800, 560));
    const QAbstractItemView* trim = pass->trimView();
    for (int row = 0; row < trim->model()->rowCount(); ++row) {
      for (int column = 0; column < trim->model()->columnCount(); ++column) {
        const QModelIndex index = trim->model()->index(row, column);
        const QRect shown = trim->visualRect(index);
        QVERIFY2(shown.width() >= trim->sizeHintForIndex(index).width() &&
                     shown.height() >= trim->sizeHintForIndex(index).height() &&
                     trim->viewport()->rect().contains(shown),
                 qPrintable(index.data().toString() +
                            QStringLiteral(" shown %1x%2 at %3,%4 of %5x%6, needs %7x%8")
                                .arg(shown.width())
                                .arg(shown.height())
                                .arg(shown.x())
                                .arg(shown.y())
                                .arg(trim->viewport()->width())
                                .arg(trim->viewport()->height())
                                .arg(trim->sizeHintForIndex(index).width())
                                .arg(trim->sizeHintForIndex(index).height())));
      }
    }
    QVERIFY(pass->warningList()->wordWrap());
    QCOMPARE(pass->warningList()->horizontalScrollBar()->maximum(), 0);

    // Compare with the untouched copy: exactly the cells the pass changed.
    services.answers = {Q(dir.File("stock.bin"))};
    QTest::mouseClick(pass->compareButton(), Qt::LeftButton);
    CompareWindow* compare = dialog.compareWindow();
    QVERIFY(compare && compare->isVisible());
    QVERIFY(screen.contains(compare->geometry()));
    // Every cell the model shows changed is counted in the summary, and
    // the pass changed some.
    auto summarised = [compare] {
      int differing = 0;
      for (int row = 0; row < 25; ++row) {
        for (int column = 0; column < 17; ++column) {
          const QModelIndex cell = compare->model().index(row, column);
          differing += cell.data(VeTableModel::kChangeRole).toDouble() != 0.0 ? 1 : 0;
        }
      }
      return differing > 0 && compare->summaryLabel()->text().startsWith(
                                  QStringLiteral("%1 VE cell(s) differ").arg(differing));
    };
    QVERIFY2(summarised(), qPrintable(compare->summaryLabel()->text()));
    QVERIFY(compare->sourcesLabel()->text().contains(Q(dir.File("stock.bin"))));

    // The history tab: the image before the pass against the image now.
    pass->progressView()->selectRow(0);
    QVERIFY(pass->compareEntryButton()->isEnabled());
    QTest::mouseClick(pass->compareEntryButton(), Qt::LeftButton);
    QVERIFY(compare->sourcesLabel()->text().contains(QStringLiteral("before history entry #1")));
    QVERIFY2(summarised(), qPrintable(compare->summaryLabel()->text()));

    // A failure is said in a box whose caption is the program's, whatever
    // the application object is called.
    const QString name = QApplication::applicationName();
    QApplication::setApplicationName(QStringLiteral("elsewhere"));
    services.events.clear();
    services.answers = {Q(dir.File("missing.bin"))};
    QTest::mouseClick(pass->compareButton(), Qt::LeftButton);
    QApplication::setApplicationName(name);
    QCOMPARE(services.events,
             QStringList{"error Unable to open file " + Q(dir.File("missing.bin"))});
    QCOMPARE(services.boxCaption, QStringLiteral("Trimwright"));
  }
};

}  // namespace trimwright

QTEST_MAIN(trimwright::PassWindowTest)
#include "PassWindowTest.moc"
