#include "gui/TunerDialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <algorithm>
#include <exception>
#include <utility>

#include "app/CellLocks.h"
#include "app/FileFormats.h"
#include "app/HistoryCommands.h"
#include "app/ImageCompare.h"
#include "app/PathRules.h"
#include "app/TuningRun.h"
#include "common/TrimwrightError.h"
#include "common/Version.h"
#include "gui/AboutDialog.h"
#include "gui/AppIcon.h"
#include "gui/CompareWindow.h"
#include "gui/ControlIds.h"
#include "gui/DialogUnits.h"
#include "gui/OptionsDialog.h"
#include "gui/PassWindow.h"
#include "gui/QtDialogServices.h"
#include "gui/TunerApp.h"

namespace trimwright {

namespace {

constexpr int kWidthUnits = 219;
constexpr int kHeightUnits = 146;
constexpr int kProgressMaximum = 100;

// What the window remembers from one start to the next.
const QString kTargetBlmKey = QStringLiteral("fields/targetBlm");
const QString kRpmLimitKey = QStringLiteral("fields/rpmLimit");
const QString kLogFolderKey = QStringLiteral("folders/logs");
const QString kImageFolderKey = QStringLiteral("folders/images");
const QString kMinRecordsKey = QStringLiteral("limits/minRecords");
const QString kMaxChangeKey = QStringLiteral("limits/maxChangePercent");
const QString kMaxTotalChangeKey = QStringLiteral("limits/maxTotalChangePercent");
const QString kAuxWindowKey = QStringLiteral("limits/auxWindow");
const QString kAddSecondTrimKey = QStringLiteral("limits/addSecondTrim");
const QString kSmoothKey = QStringLiteral("limits/smooth");

QString FromFileSystem(const std::string& path) { return QFile::decodeName(path.c_str()); }

std::string ToFileSystem(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

TunerDialog::TunerDialog(QWidget* parent)
    : TunerDialog(std::make_unique<QtDialogServices>(), nullptr, parent) {}

TunerDialog::TunerDialog(DialogServices& services, QWidget* parent)
    : TunerDialog(nullptr, &services, parent) {}

TunerDialog::TunerDialog(std::unique_ptr<DialogServices> ownedServices, DialogServices* services,
                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_ownedServices(std::move(ownedServices)),
      m_services(services ? services : m_ownedServices.get()),
      m_hIcon(AppIcon::Create()) {
  setWindowTitle(QStringLiteral("Trimwright ") + QString::fromLatin1(kVersion));
  setWindowIcon(m_hIcon);
  setFont(DialogUnits::DialogFont());
  const DialogUnits units = DialogUnits::ForFont(QFontMetrics(font(), this));
  setFixedSize(units.Size(kWidthUnits, kHeightUnits));
  BuildControls(units);

  qobject_cast<QLineEdit*>(Control(IDC_TARGET_BLM))
      ->setText(QString::fromLatin1(RunRequest::kDefaultTargetBlm));
  qobject_cast<QLineEdit*>(Control(IDC_RPM_LIMIT))
      ->setText(QString::fromLatin1(RunRequest::kDefaultRpmLimit));
  LoadSettings();
  Control(IDC_CHOOSE_LOG)->setFocus();
  setAcceptDrops(true);
}

TunerDialog::~TunerDialog() = default;

// The controls are made in the template's order, which Qt also takes as the
// tab order.
void TunerDialog::BuildControls(const DialogUnits& units) {
  QPushButton* chooseLog =
      AddButton(IDC_CHOOSE_LOG, QStringLiteral("Choose File"), units.Rect(162, 7, 50, 14));
  QPushButton* exitButton =
      AddButton(IDC_EXIT, QStringLiteral("Exit"), units.Rect(162, 90, 50, 14));
  m_logPathField = AddField(IDC_LOG_PATH, units.Rect(59, 7, 95, 14));
  AddLabel(QStringLiteral("logged data file"), units.Rect(7, 9, 49, 8));
  AddLabel(QStringLiteral("PCM file"), units.Rect(7, 34, 46, 8));
  m_pcmPathField = AddField(IDC_PCM_PATH, units.Rect(59, 31, 95, 14));
  QPushButton* process =
      AddButton(IDC_PROCESS, QStringLiteral("Process"), units.Rect(7, 126, 50, 14));
  QPushButton* choosePcm =
      AddButton(IDC_CHOOSE_PCM, QStringLiteral("Choose File"), units.Rect(162, 31, 50, 14));
  QPushButton* preview =
      AddButton(IDC_PREVIEW, QStringLiteral("Preview"), units.Rect(162, 68, 50, 14));
  AddLabel(QStringLiteral("Logfile"), units.Rect(7, 58, 28, 8));
  m_logfileField = AddField(IDC_LOGFILE, units.Rect(59, 55, 95, 14));

  m_progress = new QProgressBar(this);
  m_progress->setRange(0, kProgressMaximum);
  m_progress->setValue(0);
  m_progress->setTextVisible(false);
  m_progress->setGeometry(units.Rect(69, 126, 143, 14));
  m_controls[IDC_PROGRESS] = m_progress;

  AddLabel(QStringLiteral("Target blm"), units.Rect(7, 81, 34, 8));
  AddField(IDC_TARGET_BLM, units.Rect(59, 79, 40, 14));
  AddLabel(QStringLiteral("Tune up to"), units.Rect(7, 105, 36, 8));
  AddField(IDC_RPM_LIMIT, units.Rect(59, 102, 40, 14));
  AddLabel(QStringLiteral("rpm"), units.Rect(107, 105, 12, 8));

  connect(exitButton, &QPushButton::clicked, this, &TunerDialog::OnExit);
  connect(process, &QPushButton::clicked, this, &TunerDialog::OnProcess);
  connect(preview, &QPushButton::clicked, this, &TunerDialog::OnPreview);
  connect(choosePcm, &QPushButton::clicked, this, &TunerDialog::OnChoosePcmFile);
  connect(chooseLog, &QPushButton::clicked, this, &TunerDialog::OnChooseLogFile);
}

QPushButton* TunerDialog::AddButton(int controlId, const QString& text, const QRect& geometry) {
  auto* button = new QPushButton(text, this);
  button->setGeometry(geometry);
  m_controls[controlId] = button;
  return button;
}

QLineEdit* TunerDialog::AddField(int controlId, const QRect& geometry) {
  auto* field = new QLineEdit(this);
  field->setGeometry(geometry);
  // The path fields show what the choosers stored, which is what a run uses;
  // typing there would change nothing, so they take no typing.
  if (controlId == IDC_LOG_PATH || controlId == IDC_PCM_PATH || controlId == IDC_LOGFILE) {
    field->setReadOnly(true);
  }
  m_controls[controlId] = field;
  return field;
}

void TunerDialog::AddLabel(const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, this);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Where the font sets a word wider than its box ("rpm" in DejaVu Sans), the
  // label grows to the right instead of losing letters; nothing sits there.
  QRect box = geometry;
  box.setWidth(std::max(geometry.width(), label->fontMetrics().horizontalAdvance(text)));
  label->setGeometry(box);
}

QWidget* TunerDialog::Control(int controlId) const {
  const auto found = m_controls.find(controlId);
  return found == m_controls.end() ? nullptr : found->second;
}

namespace {

// "Datamaster Files (*.uni)" for each format, then every file.
template <typename Formats>
QStringList FiltersOf(const Formats& formats) {
  QStringList filters;
  for (const auto& format : formats) {
    filters << QStringLiteral("%1 Files (*.%2)")
                   .arg(QString::fromLatin1(format.tool), QString::fromLatin1(format.lower));
  }
  filters << QStringLiteral("All Files (*.*)");
  return filters;
}

}  // namespace

QStringList TunerDialog::LogFileFilters() { return FiltersOf(LogFormats()); }

QStringList TunerDialog::PcmFileFilters() { return FiltersOf(ImageFormats()); }

RunRequest TunerDialog::Request(bool dryRun) const {
  RunRequest request = RunRequest::ForOneLog(m_logPath, m_pcmPath, dryRun ? "" : m_logfileName,
                                             FieldText(IDC_TARGET_BLM), FieldText(IDC_RPM_LIMIT));
  if (m_logPaths.size() > 1) request.logPaths = m_logPaths;
  request.dryRun = dryRun;
  request.limits = m_limits;
  request.sampleRecords = true;  // for the pass window's Records tab
  return request;
}

std::optional<PassPlan> TunerDialog::RunPass(const RunRequest& request) {
  try {
    TuningRun run(*this);
    RunResult result = run.Perform(request);
    return std::move(result.plan);
  } catch (const ImageRefusedError& error) {
    if (request.ignoreChecksum || !AskTuneAnyway(error)) return std::nullopt;
    RunRequest anyway = request;
    anyway.ignoreChecksum = true;
    return RunPass(anyway);
  } catch (const TrimwrightError& error) {
    ShowMessageBox(QString::fromStdString(error.what()), QMessageBox::Critical);
  } catch (const std::exception& error) {
    ShowMessageBox(QStringLiteral("Unexpected error: ") + QString::fromStdString(error.what()),
                   QMessageBox::Critical);
  }
  return std::nullopt;
}

void TunerDialog::ShowPass(const PassPlan& plan, bool preview) {
  if (!m_passWindow) {
    m_passWindow = new PassWindow(this);
    connect(m_passWindow, &PassWindow::applyRequested, this, &TunerDialog::OnApplyPreview);
    connect(m_passWindow, &PassWindow::lockRequested, this, &TunerDialog::OnLockCells);
    connect(m_passWindow, &PassWindow::compareRequested, this, &TunerDialog::OnCompare);
  }
  m_passWindow->ShowPass(plan, preview);
  m_passWindow->show();
  m_passWindow->raise();
}

QString TunerDialog::MessageTitle() { return QString::fromLatin1(TunerApp::kApplicationName); }

void TunerDialog::OnCompare(const std::string& a, const std::string& b) {
  std::string other = b;
  if (other.empty()) {
    const std::vector<std::string> chosen = ChooseFiles(PcmFileFilters(), kImageFolderKey, false);
    if (chosen.empty()) return;
    other = chosen.front();
  }
  try {
    const ImageComparison comparison = CompareImages(a, other);
    if (!m_compareWindow) m_compareWindow = new CompareWindow(this);
    m_compareWindow->ShowComparison(comparison);
    m_compareWindow->show();
    m_compareWindow->raise();
  } catch (const TrimwrightError& error) {
    ShowMessageBox(QString::fromStdString(error.what()), QMessageBox::Critical);
  }
}

void TunerDialog::OnProcess() {
  SaveSettings(true);
  const std::optional<PassPlan> written = RunPass(Request(false));
  m_previewRequest.reset();
  m_previewPlan.reset();
  if (written) ShowPass(*written, false);
}

void TunerDialog::OnPreview() {
  SaveSettings(true);
  const RunRequest request = Request(true);
  std::optional<PassPlan> plan = RunPass(request);
  if (!plan) return;
  m_previewRequest = request;
  m_previewPlan = std::move(plan);
  ShowPass(*m_previewPlan, true);
}

bool TunerDialog::AskTuneAnyway(const ImageRefusedError& error) {
  QMessageBox box(QMessageBox::Warning, MessageTitle(),
                  QString::fromStdString(error.what()) +
                      QStringLiteral(".\n\nAn image read from the car passes this check. Tune "
                                     "this one anyway, exactly as it is?"),
                  QMessageBox::Yes | QMessageBox::Cancel, this);
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Tune anyway"));
  box.setDefaultButton(QMessageBox::Cancel);
  return m_services->RunModal(box) == QMessageBox::Yes;
}

void TunerDialog::OnApplyPreview() { ApplyPreviewed(false); }

void TunerDialog::ApplyPreviewed(bool ignoreChecksum) {
  if (!m_previewRequest || !m_previewPlan) return;
  RunRequest request = *m_previewRequest;
  request.dryRun = false;
  request.logfileName = m_logfileName;
  request.ignoreChecksum = request.ignoreChecksum || ignoreChecksum;
  try {
    TuningRun run(*this);
    run.ApplyPreview(request, *m_previewPlan);
    const PassPlan written = *m_previewPlan;
    m_previewRequest.reset();
    m_previewPlan.reset();
    ShowPass(written, false);
  } catch (const ImageRefusedError& error) {
    if (!request.ignoreChecksum && AskTuneAnyway(error)) ApplyPreviewed(true);
  } catch (const StalePreviewError& error) {
    ShowMessageBox(
        QString::fromStdString(error.what()) + QStringLiteral("; the pass is previewed again."),
        QMessageBox::Warning);
    std::optional<PassPlan> plan = RunPass(*m_previewRequest);
    if (plan) {
      m_previewPlan = std::move(plan);
      ShowPass(*m_previewPlan, true);
    }
  } catch (const TrimwrightError& error) {
    ShowMessageBox(QString::fromStdString(error.what()), QMessageBox::Critical);
  }
}

void TunerDialog::SetLogPaths(const std::vector<std::string>& paths) {
  m_logPaths = paths;
  m_logPath = paths.empty() ? std::string() : paths.front();
  // One log shows its path; several show how many and their names, with the
  // whole list in the tooltip.
  QStringList names;
  QStringList full;
  for (const std::string& path : paths) {
    names << QFileInfo(FromFileSystem(path)).fileName();
    full << FromFileSystem(path);
  }
  m_logPathField->setText(
      paths.size() > 1
          ? QStringLiteral("%1 logs: %2").arg(paths.size()).arg(names.join(QStringLiteral(", ")))
          : FromFileSystem(m_logPath));
  // A field too narrow for several names shows their start: the count.
  if (paths.size() > 1) m_logPathField->setCursorPosition(0);
  m_logPathField->setToolTip(full.join(QLatin1Char('\n')));
}

void TunerDialog::SetPcmPath(const std::string& path) {
  m_pcmPath = path;
  m_pcmPathField->setText(FromFileSystem(m_pcmPath));
  m_logfileName = DeriveLogfileName(m_pcmPath);
  m_logfileField->setText(FromFileSystem(m_logfileName));
}

void TunerDialog::OpenFiles(const QStringList& paths) {
  QStringList unusable;
  std::vector<std::string> logs;
  for (const QString& path : paths) {
    const std::string file = ToFileSystem(path);
    if (!QFileInfo(path).isFile()) {
      unusable << path + QStringLiteral(": no such file");
    } else if (FindLogFormat(file)) {
      logs.push_back(file);
    } else if (FindImageFormat(file)) {
      SetPcmPath(file);
    } else {
      unusable << path + QStringLiteral(
                             ": neither a log (.uni, .csv, .txt) nor an image "
                             "(.bin, .lt1)");
    }
  }
  if (!logs.empty()) SetLogPaths(logs);
  if (!unusable.isEmpty()) {
    ShowMessageBox(QStringLiteral("These files cannot be used:\n") + unusable.join('\n'),
                   QMessageBox::Warning);
  }
}

void TunerDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TunerDialog::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  OpenFiles(paths);
  event->acceptProposedAction();
}

void TunerDialog::OnChooseLogFile() {
  std::vector<std::string> chosen = ChooseFiles(LogFileFilters(), kLogFolderKey);
  SetLogPaths(chosen.empty() ? m_logPaths : chosen);
}

void TunerDialog::OnChoosePcmFile() {
  const std::vector<std::string> chosen = ChooseFiles(PcmFileFilters(), kImageFolderKey, false);
  if (!chosen.empty()) m_pcmPath = chosen.front();
  SetPcmPath(m_pcmPath);
}

void TunerDialog::OnExit() { accept(); }

void TunerDialog::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* options = menu.addAction(QStringLiteral("&Options..."));
  QAction* undo = menu.addAction(QStringLiteral("&Undo last pass..."));
  QAction* about = menu.addAction(QStringLiteral("&About trimwright..."));
  QAction* chosen = m_services->RunMenu(menu, event->globalPos());
  if (chosen == about) ShowAbout();
  if (chosen == options) OnOptions();
  if (chosen == undo) OnUndoLastPass();
}

std::vector<std::string> TunerDialog::ChooseFiles(const QStringList& filters,
                                                  const QString& folderKey, bool several) {
  QFileDialog chooser(this, QStringLiteral("Open"));
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  chooser.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  chooser.setNameFilters(filters);
  QSettings* settings = m_services->Settings();
  if (settings && settings->contains(folderKey)) {
    chooser.setDirectory(settings->value(folderKey).toString());
  }
  std::vector<std::string> paths;
  if (several) {
    if (std::optional<QStringList> chosen = m_services->RunFilesChooser(chooser)) {
      for (const QString& path : *chosen) paths.push_back(ToFileSystem(path));
    }
  } else if (std::optional<QString> chosen = m_services->RunFileChooser(chooser)) {
    paths.push_back(ToFileSystem(*chosen));
  }
  if (settings && !paths.empty()) {
    settings->setValue(folderKey, QFileInfo(FromFileSystem(paths.front())).absolutePath());
  }
  return paths;
}

void TunerDialog::LoadSettings() {
  QSettings* settings = m_services->Settings();
  if (!settings) return;
  auto* target = qobject_cast<QLineEdit*>(Control(IDC_TARGET_BLM));
  auto* rpm = qobject_cast<QLineEdit*>(Control(IDC_RPM_LIMIT));
  target->setText(settings->value(kTargetBlmKey, target->text()).toString());
  rpm->setText(settings->value(kRpmLimitKey, rpm->text()).toString());
  // The limits are read as the command line reads them; a stored value that
  // is not one (edited by hand, or from an older version) is left unused.
  QStringList ignored;
  auto load = [&](const QString& key, const QString& off, auto parse, auto& limit) {
    const QString text = settings->value(key).toString();
    if (text.isEmpty() || text == off) return;
    try {
      limit = parse(text.toStdString());
    } catch (const TrimwrightError& error) {
      ignored << QStringLiteral("%1: %2").arg(key, QString::fromStdString(error.what()));
    }
  };
  load(kMinRecordsKey, QStringLiteral("0"), ParseMinRecords, m_limits.minRecords);
  load(kMaxChangeKey, QStringLiteral("0"), ParseMaxChangePercent, m_limits.maxChangePercent);
  load(kMaxTotalChangeKey, QStringLiteral("0"), ParseMaxChangePercent,
       m_limits.maxTotalChangePercent);
  load(kAuxWindowKey, QString(), ParseAuxWindow, m_limits.auxWindow);
  m_limits.addSecondTrim = settings->value(kAddSecondTrimKey, false).toBool();
  m_limits.smooth = settings->value(kSmoothKey, false).toBool();
  if (!ignored.isEmpty()) {
    ShowMessageBox(QStringLiteral("These stored limits are not valid and are not used:\n") +
                       ignored.join(QLatin1Char('\n')),
                   QMessageBox::Warning);
  }
}

void TunerDialog::SaveSettings(bool fields) {
  QSettings* settings = m_services->Settings();
  if (!settings) return;
  // Only numbers a run takes are remembered: a typo the run refuses would
  // otherwise greet the next start.
  if (fields && TuningRun::AcceptsTargetBlm(ReadNumberField(FieldText(IDC_TARGET_BLM)))) {
    settings->setValue(kTargetBlmKey, QString::fromStdString(FieldText(IDC_TARGET_BLM)));
    settings->setValue(kRpmLimitKey, QString::fromStdString(FieldText(IDC_RPM_LIMIT)));
  }
  settings->setValue(kMinRecordsKey, m_limits.minRecords.value_or(0));
  settings->setValue(kMaxChangeKey, m_limits.maxChangePercent.value_or(0.0));
  settings->setValue(kMaxTotalChangeKey, m_limits.maxTotalChangePercent.value_or(0.0));
  settings->setValue(kAddSecondTrimKey, m_limits.addSecondTrim);
  settings->setValue(kSmoothKey, m_limits.smooth);
  settings->setValue(
      kAuxWindowKey,
      m_limits.auxWindow
          ? QStringLiteral("%1-%2").arg(m_limits.auxWindow->low).arg(m_limits.auxWindow->high)
          : QString());
  settings->sync();
}

void TunerDialog::OnOptions() {
  OptionsDialog options(m_limits, this);
  if (m_services->RunModal(options) != QDialog::Accepted) return;
  m_limits = options.Limits();
  SaveSettings(false);
}

void TunerDialog::OnUndoLastPass() {
  if (m_pcmPath.empty()) {
    ShowMessage("Please enter a Tunercat file");
    return;
  }
  try {
    const std::optional<UndoCandidate> candidate = NewestPassToUndo(m_pcmPath);
    if (!candidate) {
      ShowMessage("No pass of " + m_pcmPath + " is left to undo");
      return;
    }
    std::string question = "Undo pass " + DescribePass(candidate->pass) + " (" +
                           std::to_string(candidate->pass.cellsChanged) +
                           " cells changed)? The image is put back as it was before that pass.";
    if (!candidate->imageAsLeft) {
      question += "\n\nThe image is not as that pass left it (" + candidate->difference +
                  "): undoing it loses those changes too.";
    }
    QMessageBox confirm(QMessageBox::Question, MessageTitle(), QString::fromStdString(question),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
    confirm.setTextFormat(Qt::PlainText);
    confirm.setDefaultButton(QMessageBox::Cancel);
    if (m_services->RunModal(confirm) != QMessageBox::Ok) return;
    ShowMessage(UndoLastPass(m_pcmPath, !candidate->imageAsLeft, RunRequest().keepHistory).message);
  } catch (const TrimwrightError& error) {
    ShowMessageBox(QString::fromStdString(error.what()), QMessageBox::Critical);
  }
}

void TunerDialog::OnLockCells(bool lock) {
  if (!m_passWindow) return;
  const std::vector<GridCell> cells = m_passWindow->SelectedCells();
  if (cells.empty()) {
    ShowMessage(std::string("Select the VE cells to ") + (lock ? "lock" : "unlock") +
                " in the grid first");
    return;
  }
  try {
    const std::vector<GridCell> none;
    const std::vector<GridCell> locks =
        CellLocks::Change(m_passWindow->imagePath(), lock ? cells : none, lock ? none : cells);
    m_passWindow->veModel().SetLocked(locks);
  } catch (const TrimwrightError& error) {
    ShowMessageBox(QString::fromStdString(error.what()), QMessageBox::Critical);
    return;
  }
  if (m_previewRequest && m_previewPlan) {
    std::optional<PassPlan> plan = RunPass(*m_previewRequest);
    if (!plan) return;
    m_previewPlan = std::move(plan);
    ShowPass(*m_previewPlan, true);
  }
}

void TunerDialog::ShowMessageBox(const QString& text, QMessageBox::Icon icon) {
  // Paths may hold "<" or "&"; the text is never markup.
  QMessageBox box(icon, MessageTitle(), text, QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  m_services->RunModal(box);
}

void TunerDialog::ShowAbout() {
  AboutDialog about(this);
  m_services->RunModal(about);
}

void TunerDialog::ShowMessage(const std::string& text) {
  ShowMessageBox(QString::fromStdString(text), QMessageBox::NoIcon);
}

std::string TunerDialog::FieldText(int controlId) const {
  const auto* field = qobject_cast<const QLineEdit*>(Control(controlId));
  return field ? field->text().toStdString() : std::string();
}

void TunerDialog::SetProgress(int position) { m_progress->setValue(position); }

void TunerDialog::RepaintProgress() { m_progress->repaint(); }

}  // namespace trimwright
