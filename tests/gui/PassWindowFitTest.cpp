// The pass window's size on Qt's offscreen platform: within the screen, its
// fuel trim table, grid and history chart whole on small screens and large,
// and its comparisons in one direction.
#include <QChartView>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QTextDocument>

#include "gui/VeCellDelegate.h"
#include "gui/VeGridFit.h"

#include "tests/gui/GuiTestSupport.h"

namespace trimwright {

using namespace guitest;

namespace {

// Every text of a chart's scene: axis labels and titles.
QStringList SceneTexts(QGraphicsScene& scene) {
  QStringList texts;
  for (QGraphicsItem* item : scene.items()) {
    if (auto* text = dynamic_cast<QGraphicsTextItem*>(item)) texts << text->toPlainText();
    if (auto* simple = dynamic_cast<QGraphicsSimpleTextItem*>(item)) texts << simple->text();
  }
  return texts;
}

}  // namespace

class PassWindowFitTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setApplicationName(QString::fromLatin1(TunerApp::kApplicationName));
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
    // The image chosen is A, the image tuned B: the change from A to B is
    // the pass's, cell for cell, in both comparisons.
    QVERIFY(compare->sourcesLabel()->text().startsWith(
        "A (compared with): " + Q(dir.File("stock.bin")) + " ("));
    QVERIFY(compare->sourcesLabel()->text().contains(
        "\nB (the image being tuned): " + Q(dir.File("car.bin")) + " ("));
    auto changes = [](const VeTableModel& model) {
      QList<double> all;
      for (int row = 0; row < 25; ++row) {
        for (int column = 0; column < 17; ++column) {
          all << model.index(row, column).data(VeTableModel::kChangeRole).toDouble();
        }
      }
      return all;
    };
    const QList<double> pass_changes = changes(pass->veModel());
    QVERIFY(*std::max_element(pass_changes.begin(), pass_changes.end()) > 0.0);
    QCOMPARE(changes(compare->model()), pass_changes);

    // The history tab: the image before the pass against the image now.
    pass->progressView()->selectRow(0);
    QVERIFY(pass->compareEntryButton()->isEnabled());
    QTest::mouseClick(pass->compareEntryButton(), Qt::LeftButton);
    QVERIFY(compare->sourcesLabel()->text().contains(QStringLiteral("before history entry #1")));
    QVERIFY2(summarised(), qPrintable(compare->summaryLabel()->text()));
    QCOMPARE(changes(compare->model()), pass_changes);

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

  // At the size the window opens at on a 1024 by 768 screen and larger ones,
  // with an undone pass and its undo in the history: the chart's axes,
  // heading and legend are whole, and so is every change in the grid (in
  // whole percents where the grid is narrow; the tooltip keeps the tenths).
  void historyChartAndGridFitTheScreen_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("compact");  // 1 yes, 0 no, -1 as the numbers fit
    const QSize wanted = PassWindow::kWantedSize;
    auto fitted = [&](int width, int height) {
      return FittedGeometry(wanted, QRect(0, 0, width, height)).size();
    };
    QTest::newRow("1024x768") << fitted(1024, 768) << 1;
    QTest::newRow("1366x768") << fitted(1366, 768) << -1;
    QTest::newRow("1920x1080") << fitted(1920, 1080) << -1;
    QTest::newRow("made wide") << QSize(2000, 900) << 0;
  }
  void historyChartAndGridFitTheScreen() {
    QFETCH(QSize, size);
    QFETCH(int, compact);
    Previewed run;
    Click(*run.dialog, IDC_PROCESS);
    Click(*run.dialog, IDC_PROCESS);
    run.dialog->OnUndoLastPass();
    Click(*run.dialog, IDC_PREVIEW);
    PassWindow& pass = *run.pass;
    QCOMPARE(pass.progressModel().rowCount(), 3);
    pass.resize(size);
    pass.tabs()->setCurrentIndex(1);
    QApplication::processEvents();
    QVERIFY(pass.minimumSizeHint().height() <= pass.height());

    ProgressChart& chart = *pass.progressChart();
    const QStringList texts = SceneTexts(*chart.chartView()->scene());
    QVERIFY(texts.contains(QStringLiteral("history entry")) &&
            texts.contains(QStringLiteral("BLM counts")));
    for (const QString& text : texts) {
      QVERIFY2(!text.contains(QStringLiteral("...")) && !text.contains(QChar(0x2026)),
               qPrintable(text));
    }
    for (QLabel* label : {chart.heading(), chart.legend()}) {
      QVERIFY(label->isVisible() && label->wordWrap());
      QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(label->text()));
    }
    QTextDocument legend;
    legend.setHtml(chart.legend()->text());
    const QString entries = legend.toPlainText().replace(QChar(0xA0), QLatin1Char(' '));
    QVERIFY2(entries.contains(QStringLiteral("left bank, pass undone")) &&
                 entries.contains(QStringLiteral("undo")),
             qPrintable(entries));

    QTableView& grid = *pass.veView();
    if (compact >= 0) QCOMPARE(pass.veModel().compact(), compact == 1);
    int shown = 0;
    for (int row = 0; row < 25; ++row) {
      for (int column = 0; column < 17; ++column) {
        const QModelIndex index = pass.veModel().index(row, column);
        if (index.data().toString().isEmpty()) continue;
        ++shown;
        QVERIFY2(grid.sizeHintForIndex(index).width() <= grid.visualRect(index).width(),
                 qPrintable(index.data().toString()));
      }
    }
    QVERIFY(shown > 100);
  }

  // The grid shows tenths while they fit its columns, to the pixel, and
  // whole percents from one pixel less; back to tenths when it widens.
  void gridShowsTenthsWhileTheyFitExactly() {
    TempDir dir;
    tools::WriteFile(dir.File("drive.txt"), LeanDrive());
    tools::WriteFile(dir.File("car.bin"), ImageBytes());
    CapturedOutput output;
    FixedFieldsWindow quiet;
    RunRequest request =
        RunRequest::ForOneLog(dir.File("drive.txt"), dir.File("car.bin"), "", "124", "3000");
    request.dryRun = true;
    const RunResult result = TuningRun(quiet).Perform(request);
    QVERIFY(result.plan);
    VeTableModel model;
    model.SetPlan(*result.plan);
    QTableView view;
    view.setModel(&model);
    VeCellDelegate::Install(view, false);
    view.verticalHeader()->hide();
    view.setFrameShape(QFrame::NoFrame);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const VeGridFit* fit = view.findChild<VeGridFit*>();
    QVERIFY(fit);
    const int tenths = fit->NeededWidth(false);
    QVERIFY(fit->NeededWidth(true) < tenths);
    view.show();
    for (const int width : {17 * tenths, 17 * tenths - 1, 17 * tenths + 17}) {
      view.resize(width, 400);
      QApplication::processEvents();
      QCOMPARE(view.viewport()->width(), width);
      QCOMPARE(model.compact(), width < 17 * tenths);
      // Whole percents fit where tenths do not: no column is wider.
      QVERIFY(view.horizontalHeader()->length() <= width);
    }
  }

  // However low the chart, every label of its distance axis is whole.
  void distanceAxisLabelsStayWholeAtAnyHeight() {
    std::vector<ProgressPoint> points(3);
    for (std::size_t k = 0; k < points.size(); ++k) {
      points[k].number = k + 1;
      points[k].kind = "pass";
      points[k].planRead = true;
      points[k].distance = points[k].left = points[k].right =
          TrimDistance{7.5 / static_cast<double>(k + 1), 9.0, 3};
    }
    ProgressModel model;
    model.SetProgress(points);
    ProgressChart chart(model);
    chart.show();
    for (int height = chart.minimumSizeHint().height(); height <= 600; height += 7) {
      chart.resize(420, height);
      QApplication::processEvents();
      for (const QString& text : SceneTexts(*chart.chartView()->scene())) {
        QVERIFY2(!text.contains(QStringLiteral("...")) && !text.contains(QChar(0x2026)),
                 qPrintable(QStringLiteral("%1 at %2 px").arg(text).arg(height)));
      }
    }
  }
};

}  // namespace trimwright

QTEST_MAIN(trimwright::PassWindowFitTest)
#include "PassWindowFitTest.moc"
