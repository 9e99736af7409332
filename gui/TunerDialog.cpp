#include "gui/TunerDialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/FileFormats.h"
#include "app/ImageCompare.h"
#include "app/PathRules.h"
#include "app/TuningRun.h"
#include "common/NumberText.h"
#include "common/TrimwrightError.h"
#include "common/Version.h"
#include "gui/AboutDialog.h"
#include "gui/AppIcon.h"
#include "gui/CaptureWindow.h"
#include "gui/CompareWindow.h"
#include "gui/ControlIds.h"
#include "gui/DialogTemplate.h"
#include "gui/DialogUnits.h"
#include "gui/FileNames.h"
#include "gui/OptionsDialog.h"
#include "gui/PassWindow.h"
#include "gui/QtDialogServices.h"

namespace trimwright {

namespace {

// What keeps the name at path from being a file the window can take, in a
// few words; empty for a regular file (or a link to one).
QString NotAFile(const std::string& path) {
  std::error_code error;
  switch (std::filesystem::status(path, error).type()) {
    case std::filesystem::file_type::regular:
      return QString();
    case std::filesystem::file_type::not_found:
      return QStringLiteral("no such file");
    case std::filesystem::file_type::directory:
      return QStringLiteral("a folder, not a file");
    case std::filesystem::file_type::fifo:
      return QStringLiteral("a FIFO (named pipe), not a file");
    case std::filesystem::file_type::socket:
      return QStringLiteral("a socket, not a file");
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character:
      return QStringLiteral("a device, not a file");
    default:
      return QStringLiteral("cannot be read (%1)")
          .arg(QString::fromLocal8Bit(error.message().c_str()));
  }
}

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
      m_hIcon(AppIcon::Create()),
      m_settings(m_services->Settings()) {
  setWindowTitle(QStringLiteral("Trimwright ") + QString::fromLatin1(kVersion));
  setWindowIcon(m_hIcon);
  setFont(DialogUnits::DialogFont());
  const DialogUnits units = DialogUnits::ForFont(QFontMetrics(font(), this));
  setFixedSize(units.Size(DialogTemplate::kWidthUnits, DialogTemplate::kHeightUnits));
  m_template = std::make_unique<DialogTemplate>(this, units);
  m_logPathField = m_template->Field(IDC_LOG_PATH);
  m_pcmPathField = m_template->Field(IDC_PCM_PATH);
  m_logfileField = m_template->Field(IDC_LOGFILE);
  m_progress = m_template->Progress();
  connect(m_template->Button(IDC_EXIT), &QPushButton::clicked, this, &TunerDialog::OnExit);
  connect(m_template->Button(IDC_PROCESS), &QPushButton::clicked, this, &TunerDialog::OnProcess);
  connect(m_template->Button(IDC_PREVIEW), &QPushButton::clicked, this, &TunerDialog::OnPreview);
  connect(m_template->Button(IDC_CHOOSE_PCM), &QPushButton::clicked, this,
          &TunerDialog::OnChoosePcmFile);
  connect(m_template->Button(IDC_CHOOSE_LOG), &QPushButton::clicked, this,
          &TunerDialog::OnChooseLogFile);

  m_template->Field(IDC_TARGET_BLM)->setText(QString::fromLatin1(RunRequest::kDefaultTargetBlm));
  m_template->Field(IDC_RPM_LIMIT)->setText(QString::fromLatin1(RunRequest::kDefaultRpmLimit));
  LoadSettings();
  Control(IDC_CHOOSE_LOG)->setFocus();
  setAcceptDrops(true);
}

TunerDialog::~TunerDialog() = default;

QWidget* TunerDialog::Control(int controlId) const { return m_template->Control(controlId); }

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

void TunerDialog::ReadFields() {
  m_targetBlm = ReadNumberField(FieldText(IDC_TARGET_BLM));
  m_rpmLimit = ReadNumberField(FieldText(IDC_RPM_LIMIT));
}

RunRequest TunerDialog::Request(bool dryRun) const {
  RunRequest request;
  request.logPaths = m_logPaths;
  if (request.logPaths.empty() && !m_logPath.empty()) request.logPaths.push_back(m_logPath);
  request.pcmPath = m_pcmPath;
  request.logfileName = dryRun ? "" : m_logfileName;
  request.targetBlm = m_targetBlm;
  request.rpmLimit = m_rpmLimit;
  request.dryRun = dryRun;
  request.limits = m_limits;
  request.sampleRecords = true;  // for the pass window's Records tab
  return request;
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

void TunerDialog::PreviewLost() {
  if (m_passWindow) m_passWindow->ShowPreviewLost();
}

QString TunerDialog::MessageTitle() { return QString::fromLatin1(kProgramName); }

void TunerDialog::OnCompare(const std::string& a, const std::string& b) {
  std::string older = a;
  if (older.empty()) {
    const std::vector<std::string> chosen =
        ChooseFiles(PcmFileFilters(), WindowSettings::kImageFolder, b, false);
    if (chosen.empty()) return;
    older = chosen.front();
  }
  try {
    const ImageComparison comparison = CompareImages(older, b);
    if (!m_compareWindow) m_compareWindow = new CompareWindow(this);
    m_compareWindow->ShowComparison(comparison);
    m_compareWindow->show();
    m_compareWindow->raise();
  } catch (const TrimwrightError& error) {
    ShowMessageBox(QString::fromStdString(error.what()), QMessageBox::Critical);
  }
}

void TunerDialog::OnProcess() {
  ReadFields();
  SaveSettings(true);
  m_session.Process(Request(false));
}

void TunerDialog::OnPreview() {
  ReadFields();
  SaveSettings(true);
  m_session.Preview(Request(true));
}

bool TunerDialog::AskTuneAnyway(const std::string& refusal) {
  QMessageBox box(QMessageBox::Warning, MessageTitle(),
                  QString::fromStdString(refusal) +
                      QStringLiteral(".\n\nAn image read from the car passes this check. Tune "
                                     "this one anyway, exactly as it is?"),
                  QMessageBox::Yes | QMessageBox::Cancel, this);
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Tune anyway"));
  box.setDefaultButton(QMessageBox::Cancel);
  return m_services->RunModal(box) == QMessageBox::Yes;
}

bool TunerDialog::Confirm(const std::string& question) {
  QMessageBox confirm(QMessageBox::Question, MessageTitle(), QString::fromStdString(question),
                      QMessageBox::Ok | QMessageBox::Cancel, this);
  confirm.setTextFormat(Qt::PlainText);
  confirm.setDefaultButton(QMessageBox::Cancel);
  return m_services->RunModal(confirm) == QMessageBox::Ok;
}

void TunerDialog::OnApplyPreview() { m_session.Apply(m_logfileName); }

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
    if (const QString problem = NotAFile(file); !problem.isEmpty()) {
      unusable << path + QStringLiteral(": ") + problem;
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
  std::vector<std::string> chosen =
      ChooseFiles(LogFileFilters(), WindowSettings::kLogFolder, m_logPath);
  SetLogPaths(chosen.empty() ? m_logPaths : chosen);
}

void TunerDialog::OnChoosePcmFile() {
  const std::vector<std::string> chosen =
      ChooseFiles(PcmFileFilters(), WindowSettings::kImageFolder, m_pcmPath, false);
  if (!chosen.empty()) m_pcmPath = chosen.front();
  SetPcmPath(m_pcmPath);
}

void TunerDialog::OnExit() { accept(); }

void TunerDialog::done(int result) {
  if (m_captureWindow) m_captureWindow->close();  // its capture ends, its log complete
  ReadFields();
  SaveSettings(true);
  QDialog::done(result);
}

void TunerDialog::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* options = menu.addAction(QStringLiteral("&Options..."));
  QAction* undo = menu.addAction(QStringLiteral("&Undo last pass..."));
  QAction* capture = menu.addAction(QStringLiteral("&Capture a drive..."));
  QAction* about = menu.addAction(QStringLiteral("&About trimwright..."));
  QAction* chosen = m_services->RunMenu(menu, event->globalPos());
  if (chosen == about) ShowAbout();
  if (chosen == options) OnOptions();
  if (chosen == undo) OnUndoLastPass();
  if (chosen == capture) OnCapture();
}

void TunerDialog::OnCapture() {
  if (!m_captureWindow) {
    m_captureWindow = new CaptureWindow(*m_services, m_settings, this);
    connect(m_captureWindow, &CaptureWindow::logCaptured, this,
            [this](const std::string& path) { SetLogPaths({path}); });
  }
  ReadFields();
  m_captureWindow->SetPassContext(m_targetBlm, m_limits.minRecords.value_or(0), m_logPath,
                                  m_pcmPath);
  m_captureWindow->show();
  m_captureWindow->raise();
  m_captureWindow->activateWindow();
}

std::vector<std::string> TunerDialog::ChooseFiles(const QStringList& filters,
                                                  const QString& folderKey,
                                                  const std::string& current, bool several) {
  QFileDialog chooser(this, QStringLiteral("Open"));
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  chooser.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  chooser.setNameFilters(filters);
  const QString folder = current.empty() ? m_settings.Folder(folderKey)
                                         : QFileInfo(FromFileSystem(current)).absolutePath();
  if (!folder.isEmpty()) chooser.setDirectory(folder);
  std::vector<std::string> paths;
  if (several) {
    if (std::optional<QStringList> chosen = m_services->RunFilesChooser(chooser)) {
      for (const QString& path : *chosen) paths.push_back(ToFileSystem(path));
    }
  } else if (std::optional<QString> chosen = m_services->RunFileChooser(chooser)) {
    paths.push_back(ToFileSystem(*chosen));
  }
  if (!paths.empty()) {
    m_settings.SaveFolder(folderKey, QFileInfo(FromFileSystem(paths.front())).absolutePath());
  }
  return paths;
}

void TunerDialog::LoadSettings() {
  auto* target = qobject_cast<QLineEdit*>(Control(IDC_TARGET_BLM));
  auto* rpm = qobject_cast<QLineEdit*>(Control(IDC_RPM_LIMIT));
  target->setText(m_settings.TargetBlm(target->text()));
  rpm->setText(m_settings.RpmLimit(rpm->text()));
  QStringList ignored;
  m_limits = m_settings.Limits(ignored);
  if (!ignored.isEmpty()) {
    ShowMessageBox(QStringLiteral("These stored limits are not valid and are not used:\n") +
                       ignored.join(QLatin1Char('\n')),
                   QMessageBox::Warning);
  }
}

void TunerDialog::SaveSettings(bool fields) {
  // Only numbers a run takes are remembered: a typo the run refuses would
  // otherwise greet the next start.
  if (fields && TuningRun::AcceptsTargetBlm(m_targetBlm)) {
    m_settings.SaveFields(QString::fromStdString(FieldText(IDC_TARGET_BLM)),
                          QString::fromStdString(FieldText(IDC_RPM_LIMIT)));
  }
  m_settings.SaveLimits(m_limits);
}

void TunerDialog::OnOptions() {
  OptionsDialog options(m_limits, this);
  if (m_services->RunModal(options) != QDialog::Accepted) return;
  m_limits = options.Limits();
  SaveSettings(false);
}

void TunerDialog::OnUndoLastPass() { m_session.Undo(m_pcmPath, RunRequest().keepHistory); }

void TunerDialog::OnLockCells(bool lock) {
  if (!m_passWindow) return;
  const std::optional<std::vector<GridCell>> locks =
      m_session.ChangeLocks(m_passWindow->imagePath(), m_passWindow->SelectedCells(), lock);
  if (locks) m_passWindow->veModel().SetLocked(*locks);
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

void TunerDialog::ShowError(const std::string& text) {
  ShowMessageBox(QString::fromStdString(text), QMessageBox::Critical);
}

void TunerDialog::ShowWarning(const std::string& text) {
  ShowMessageBox(QString::fromStdString(text), QMessageBox::Warning);
}

std::string TunerDialog::FieldText(int controlId) const {
  const auto* field = qobject_cast<const QLineEdit*>(Control(controlId));
  return field ? field->text().toStdString() : std::string();
}

void TunerDialog::SetProgress(int position) { m_progress->setValue(position); }

void TunerDialog::RepaintProgress() { m_progress->repaint(); }

}  // namespace trimwright
