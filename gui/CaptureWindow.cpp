#include "gui/CaptureWindow.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <utility>

#include "app/FileFormats.h"
#include "app/TuningRun.h"
#include "calibration/ImageCheck.h"
#include "calibration/ImageLayout.h"
#include "common/TrimwrightError.h"
#include "common/Version.h"
#include "gui/DialogServices.h"
#include "gui/FileNames.h"
#include "gui/WindowPlacement.h"
#include "gui/WindowSettings.h"

namespace trimwright {

namespace {

const QString kNoValue = QStringLiteral("-");

using Bounds = std::vector<std::int32_t>;

// The fuel trim table's boundaries in image as a pass reads them, lowest
// first from 0 to the table's top; none where there is no image, it cannot
// be read, or its boundaries make no table.
std::pair<Bounds, Bounds> BandsOf(const std::string& image) {
  if (image.empty()) return {};
  try {
    const std::optional<std::array<std::uint8_t, ImageCheck::kBoundaryBytes>> bytes =
        CheckImageFile(image).boundaryBytes();
    if (!bytes) return {};
    Bounds rpm{0};
    Bounds map{0};
    for (int k = 0; k < 3; ++k) {
      rpm.push_back((*bytes)[static_cast<std::size_t>(k)] * kRpmPerBoundaryCount);
      map.push_back((*bytes)[static_cast<std::size_t>(k) + 3]);
    }
    rpm.push_back(kTopRpmBound);
    map.push_back(kTopMapBound);
    const auto rises = [](const Bounds& b) {
      return std::adjacent_find(b.begin(), b.end(), std::greater_equal<>()) == b.end();
    };
    if (!rises(rpm) || !rises(map)) return {};
    return {rpm, map};
  } catch (const TrimwrightError&) {
    return {};
  }
}

}  // namespace

CaptureWindow::CaptureWindow(DialogServices& services, WindowSettings& settings, QWidget* parent)
    : QDialog(parent, Qt::Window), m_services(services), m_settings(settings) {
  setWindowTitle(QStringLiteral("Trimwright - capture a drive"));

  m_device = new QComboBox(this);
  m_device->setEditable(true);
  // What is typed stays as typed: no item is added on Enter, and no name is
  // completed into another port's.
  m_device->setInsertPolicy(QComboBox::NoInsert);
  m_device->setCompleter(nullptr);
  m_device->setToolTip(QStringLiteral(
      "The serial port of the cable to the engine computer, or the path of any terminal device "
      "(the simulated engine computer's pseudo-terminal too)"));
  m_refresh = new QPushButton(QStringLiteral("&Refresh"), this);
  m_refresh->setToolTip(QStringLiteral("List the serial ports present again"));
  m_start = new QPushButton(QStringLiteral("&Start"), this);
  m_start->setToolTip(QStringLiteral("Choose a new .csv log and start capturing into it"));
  m_start->setDefault(true);
  m_stop = new QPushButton(QStringLiteral("S&top"), this);
  m_stop->setToolTip(QStringLiteral(
      "End the capture; the log goes to the main window's log field, ready for Preview"));
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  auto* deviceLabel = new QLabel(QStringLiteral("&Device"), this);
  deviceLabel->setBuddy(m_device);
  auto* top = new QHBoxLayout;
  top->addWidget(deviceLabel);
  top->addWidget(m_device, 1);
  top->addWidget(m_refresh);
  top->addWidget(m_start);
  top->addWidget(m_stop);

  m_state = new QLabel(QStringLiteral("Choose the device and press Start."), this);
  m_state->setWordWrap(true);
  m_state->setTextFormat(Qt::PlainText);
  m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* values = new QGridLayout;
  const QStringList names = {QStringLiteral("Records"),
                             QStringLiteral("Frames/s"),
                             QStringLiteral("Bad frames"),
                             QStringLiteral("rpm"),
                             QStringLiteral("MAP"),
                             QStringLiteral("BLM cell"),
                             QStringLiteral("BLM left / right"),
                             QStringLiteral("Time")};
  for (int k = 0; k < kValueCount; ++k) {
    m_values[k] = new QLabel(kNoValue, this);
    m_values[k]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_values[k]->setMinimumWidth(
        m_values[k]->fontMetrics().horizontalAdvance(QStringLiteral("000000.0 kPa")));
    values->addWidget(new QLabel(names[k], this), k, 0);
    values->addWidget(m_values[k], k, 1);
  }
  values->setRowStretch(kValueCount, 1);

  m_cellsView = new QTableView(this);
  m_cellsView->setModel(&m_cells);
  m_cellsView->setSelectionMode(QAbstractItemView::NoSelection);
  m_cellsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_cellsView->setFocusPolicy(Qt::NoFocus);  // nothing in it to select: Tab passes it by
  m_cellsView->setWordWrap(false);
  m_cellsView->setTextElideMode(Qt::ElideNone);
  m_cellsView->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  m_cellsView->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  auto* middle = new QHBoxLayout;
  middle->addLayout(values);
  middle->addWidget(m_cellsView, 1);

  m_legend = new QLabel(this);
  m_legend->setWordWrap(true);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(m_legend, 1);
  bottom->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(m_state);
  layout->addLayout(middle, 1);
  layout->addLayout(bottom);

  connect(m_refresh, &QPushButton::clicked, this, [this] { ShowPorts(ListSerialPorts()); });
  connect(m_start, &QPushButton::clicked, this, &CaptureWindow::OnStart);
  connect(m_stop, &QPushButton::clicked, this, &CaptureWindow::OnStop);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(&m_runner, &CaptureRunner::statusChanged, this, &CaptureWindow::OnStatus);
  connect(&m_runner, &CaptureRunner::finished, this, &CaptureWindow::OnFinished);

  SetPassContext(124, 0, std::string(), std::string());
  ShowPorts(ListSerialPorts());
  SetCapturing(false);
  m_device->setFocus();
  FitToScreen(*this, kWantedSize);
}

CaptureWindow::~CaptureWindow() = default;

void CaptureWindow::SetPassContext(int targetBlm, std::int32_t minRecords,
                                   const std::string& currentLog, const std::string& image) {
  m_cells.SetTargetBlm(targetBlm);
  m_cells.SetMinRecords(minRecords);
  const auto [rpmBounds, mapBounds] = BandsOf(image);
  m_cells.SetBands(rpmBounds, mapBounds);
  m_besideFile = currentLog.empty() ? image : currentLog;
  m_legend->setText(
      QStringLiteral("Yellow, bold: the cell the engine is in now. Faint, italics: fewer than %1 "
                     "records, drive there. Coloured: how far the BLM averages lie from the "
                     "target %2 (warm above, cool below). Grey: cells 17 and 18, which no pass "
                     "reads.")
          .arg(m_cells.enoughRecords())
          .arg(targetBlm));
}

void CaptureWindow::ShowPorts(const std::vector<SerialPort>& ports) {
  const QString typed = m_device->currentText();
  m_device->clear();
  for (const SerialPort& port : ports) {
    const QString path = FromFileSystem(port.path);
    m_device->addItem(port.target.empty()
                          ? path
                          : path + QStringLiteral("  \u2192 ") + FromFileSystem(port.target),
                      path);
  }
  m_device->setEditText(typed.isEmpty() && !ports.empty() ? m_device->itemText(0) : typed);
}

std::string CaptureWindow::DevicePath() const {
  const QString text = m_device->currentText().trimmed();
  const int item = m_device->findText(text, Qt::MatchExactly);
  return ToFileSystem(item >= 0 ? m_device->itemData(item).toString() : text);
}

QString CaptureWindow::DefaultLogName() {
  return QStringLiteral("drive-") +
         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
         QStringLiteral(".csv");
}

std::optional<std::string> CaptureWindow::ChooseLog() {
  QFileDialog chooser(this, QStringLiteral("Capture into a new log"));
  chooser.setAcceptMode(QFileDialog::AcceptSave);
  chooser.setFileMode(QFileDialog::AnyFile);
  chooser.setNameFilters({QStringLiteral("Freescan Files (*.csv)")});
  chooser.setDefaultSuffix(QStringLiteral("csv"));
  // The capture refuses an existing file itself, plainly; the chooser's own
  // question would offer to replace it, which never happens.
  chooser.setOption(QFileDialog::DontConfirmOverwrite);
  QString folder = m_settings.Folder(WindowSettings::kLogFolder);
  if (folder.isEmpty() && !m_besideFile.empty()) {
    folder = QFileInfo(FromFileSystem(m_besideFile)).absolutePath();
  }
  if (folder.isEmpty()) folder = QDir::homePath();
  chooser.setDirectory(folder);
  chooser.selectFile(DefaultLogName());
  const std::optional<QString> chosen = m_services.RunFileChooser(chooser);
  if (!chosen) return std::nullopt;
  m_settings.SaveFolder(WindowSettings::kLogFolder, QFileInfo(*chosen).absolutePath());
  return ToFileSystem(*chosen);
}

void CaptureWindow::OnStart() {
  if (m_runner.running()) return;
  CaptureRequest request;
  request.device = DevicePath();
  if (request.device.empty()) {
    ShowBox(QStringLiteral("Choose the device to capture from, or type its path."),
            QMessageBox::Warning);
    return;
  }
  const std::optional<std::string> log = ChooseLog();
  if (!log) return;
  const LogFormat* format = FindLogFormat(*log);
  if (!format || format->kind != LogKind::kFreescan) {
    ShowBox(QStringLiteral("A capture writes a .csv log; its name must end in .csv or .CSV."),
            QMessageBox::Warning);
    return;
  }
  request.logPath = *log;
  try {
    m_runner.Start(request);
  } catch (const std::exception& error) {
    ShowBox(QString::fromStdString(error.what()), QMessageBox::Critical);
    return;
  }
  m_cells.Clear();
  ShowValues(CaptureStatus());
  m_state->setText(QStringLiteral("Capturing from %1 into %2.")
                       .arg(FromFileSystem(request.device), FromFileSystem(request.logPath)));
  SetCapturing(true);
}

void CaptureWindow::OnStop() {
  m_runner.Stop();
  m_state->setText(QStringLiteral("Stopping..."));
}

void CaptureWindow::done(int result) {
  m_runner.StopAndWait();
  QDialog::done(result);
  m_device->setFocus();  // where the window opens again
}

void CaptureWindow::OnStatus(const CaptureStatus& status) {
  m_cells.SetStatus(status);
  ShowValues(status);
}

void CaptureWindow::OnFinished(const CaptureOutcome& outcome) {
  m_cells.SetStatus(outcome.status);
  ShowValues(outcome.status);
  SetCapturing(false);
  const QString log = FromFileSystem(outcome.request.logPath);
  const std::uint64_t records = outcome.status.records;
  if (records > 0) {
    m_state->setText(
        QStringLiteral("%1 records captured into %2, now the main window's log, ready for "
                       "Preview.")
            .arg(records)
            .arg(log));
    emit logCaptured(outcome.request.logPath);
  } else if (!outcome.failed) {
    m_state->setText(QStringLiteral("No record came; %1 holds only its header line.").arg(log));
  } else {
    m_state->setText(QStringLiteral("The capture failed: ") +
                     QString::fromStdString(outcome.error));
  }
  // The core's own words, which say where the records before went.
  if (outcome.failed) ShowBox(QString::fromStdString(outcome.error), QMessageBox::Critical);
}

void CaptureWindow::ShowValues(const CaptureStatus& s) {
  m_values[kRecords]->setText(QString::number(s.records));
  m_values[kRate]->setText(QString::number(s.framesPerSecond, 'f', 1));
  m_values[kBadFrames]->setText(QString::number(s.frames.BadFrames()));
  m_values[kTime]->setText(
      QString::number(static_cast<double>(s.elapsed.count()) / 1000.0, 'f', 1) +
      QStringLiteral(" s"));
  m_values[kRpm]->setText(s.haveValues ? QString::number(s.rpm) : kNoValue);
  m_values[kMap]->setText(s.haveValues ? QString::number(s.mapKpa, 'f', 1) + QStringLiteral(" kPa")
                                       : kNoValue);
  m_values[kBlmCell]->setText(s.haveValues ? QString::number(s.blmCell) : kNoValue);
  m_values[kBlms]->setText(s.haveValues ? QStringLiteral("%1 / %2").arg(s.blmLeft).arg(s.blmRight)
                                        : kNoValue);
}

void CaptureWindow::SetCapturing(bool capturing) {
  // Keys stay on the row of Start and Stop: focus on a control about to be
  // turned off goes to the one turned on, not on to Close, where the next
  // Enter would close the window.
  const QWidget* focus = focusWidget();
  const bool focusTurnedOff =
      focus && (capturing ? focus == m_start || focus == m_refresh || focus == m_device ||
                                m_device->isAncestorOf(focus)
                          : focus == m_stop);
  m_stop->setEnabled(capturing);
  m_start->setEnabled(!capturing);
  m_device->setEnabled(!capturing);
  m_refresh->setEnabled(!capturing);
  if (focusTurnedOff) (capturing ? m_stop : m_start)->setFocus();
}

void CaptureWindow::ShowBox(const QString& text, QMessageBox::Icon icon) {
  // Paths may hold "<" or "&"; the text is never markup.
  QMessageBox box(icon, QString::fromLatin1(kProgramName), text, QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  m_services.RunModal(box);
}

}  // namespace trimwright
