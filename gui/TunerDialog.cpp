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
#include <QUrl>
#include <algorithm>
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
#include "gui/CompareWindow.h"
#include "gui/ControlIds.h"
#include "gui/DialogUnits.h"
#include "gui/OptionsDialog.h"
#include "gui/PassWindow.h"
#include "gui/QtDialogServices.h"

namespace trimwright {

namespace {

constexpr int kWidthUnits = 219;
constexpr int kHeightUnits = 146;
constexpr int kProgressMaximum = 100;

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
      m_hIcon(AppIcon::Create()),
      m_settings(m_services->Settings()) {
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
  if (m_passWindow) m_passWindow->applyButton()->setEnabled(false);
}

QString TunerDialog::MessageTitle() { return QString::fromLatin1(kProgramName); }

void TunerDialog::OnCompare(const std::string& a, const std::string& b) {
  std::string other = b;
  if (other.empty()) {
    const std::vector<std::string> chosen =
        ChooseFiles(PcmFileFilters(), WindowSettings::kImageFolder, false);
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
  std::vector<std::string> chosen = ChooseFiles(LogFileFilters(), WindowSettings::kLogFolder);
  SetLogPaths(chosen.empty() ? m_logPaths : chosen);
}

void TunerDialog::OnChoosePcmFile() {
  const std::vector<std::string> chosen =
      ChooseFiles(PcmFileFilters(), WindowSettings::kImageFolder, false);
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
  const QString folder = m_settings.Folder(folderKey);
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
