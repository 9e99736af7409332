#include "gui/TunerDialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
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
#include <exception>
#include <utility>

#include "app/PathRules.h"
#include "app/TuningRun.h"
#include "common/TrimwrightError.h"
#include "common/Version.h"
#include "gui/AboutDialog.h"
#include "gui/AppIcon.h"
#include "gui/ControlIds.h"
#include "gui/DialogUnits.h"
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
      m_hIcon(AppIcon::Create()) {
  setWindowTitle(QStringLiteral("Trimwright ") + QString::fromLatin1(kVersion));
  setWindowIcon(m_hIcon);
  setFont(DialogUnits::DialogFont());
  const DialogUnits units = DialogUnits::ForFont(QFontMetrics(font(), this));
  setFixedSize(units.Size(kWidthUnits, kHeightUnits));
  BuildControls(units);

  qobject_cast<QLineEdit*>(Control(IDC_TARGET_BLM))->setText(QStringLiteral("124"));
  qobject_cast<QLineEdit*>(Control(IDC_RPM_LIMIT))->setText(QStringLiteral("3000"));
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

QStringList TunerDialog::LogFileFilters() {
  return {QStringLiteral("Datamaster Files (*.uni)"), QStringLiteral("Freescan Files (*.csv)"),
          QStringLiteral("PCMComm Files (*.txt)"), QStringLiteral("All Files (*.*)")};
}

QStringList TunerDialog::PcmFileFilters() {
  return {QStringLiteral("Tunercat Files (*.bin)"), QStringLiteral("LT1Edit Files (*.lt1)"),
          QStringLiteral("All Files (*.*)")};
}

RunRequest TunerDialog::Request(bool dryRun) const {
  RunRequest request = RunRequest::ForOneLog(m_logPath, m_pcmPath, dryRun ? "" : m_logfileName,
                                             FieldText(IDC_TARGET_BLM), FieldText(IDC_RPM_LIMIT));
  request.dryRun = dryRun;
  return request;
}

std::optional<PassPlan> TunerDialog::RunPass(const RunRequest& request) {
  try {
    TuningRun run(*this);
    RunResult result = run.Perform(request);
    if (result.numbersRead) {
      m_targetBlm = result.targetBlm;
      m_rpmLimit = result.rpmLimit;
    }
    return std::move(result.plan);
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
  }
  m_passWindow->ShowPass(plan, preview);
  m_passWindow->show();
  m_passWindow->raise();
}

void TunerDialog::OnProcess() {
  const std::optional<PassPlan> written = RunPass(Request(false));
  m_previewRequest.reset();
  m_previewPlan.reset();
  if (written) ShowPass(*written, false);
}

void TunerDialog::OnPreview() {
  const RunRequest request = Request(true);
  std::optional<PassPlan> plan = RunPass(request);
  if (!plan) return;
  m_previewRequest = request;
  m_previewPlan = std::move(plan);
  ShowPass(*m_previewPlan, true);
}

void TunerDialog::OnApplyPreview() {
  if (!m_previewRequest || !m_previewPlan) return;
  RunRequest request = *m_previewRequest;
  request.dryRun = false;
  request.logfileName = m_logfileName;
  try {
    TuningRun run(*this);
    run.ApplyPreview(request, *m_previewPlan);
    const PassPlan written = *m_previewPlan;
    m_previewRequest.reset();
    m_previewPlan.reset();
    ShowPass(written, false);
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

void TunerDialog::SetLogPath(const std::string& path) {
  m_logPath = path;
  m_logPathField->setText(FromFileSystem(m_logPath));
}

void TunerDialog::SetPcmPath(const std::string& path) {
  m_pcmPath = path;
  m_pcmPathField->setText(FromFileSystem(m_pcmPath));
  m_logfileName = DeriveLogfileName(m_pcmPath);
  m_logfileField->setText(FromFileSystem(m_logfileName));
}

void TunerDialog::OpenFiles(const QStringList& paths) {
  QStringList unusable;
  for (const QString& path : paths) {
    const std::string file = ToFileSystem(path);
    const std::string extension = FileExtension(file);
    if (!QFileInfo(path).isFile()) {
      unusable << path + QStringLiteral(": no such file");
    } else if (extension == "uni" || extension == "UNI" || extension == "csv" ||
               extension == "CSV" || extension == "txt" || extension == "TXT") {
      SetLogPath(file);
    } else if (extension == "bin" || extension == "BIN" || extension == "lt1" ||
               extension == "LT1") {
      SetPcmPath(file);
    } else {
      unusable << path + QStringLiteral(
                             ": neither a log (.uni, .csv, .txt) nor an image "
                             "(.bin, .lt1)");
    }
  }
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
  if (std::optional<std::string> chosen = ChooseFile(LogFileFilters())) m_logPath = *chosen;
  SetLogPath(m_logPath);
}

void TunerDialog::OnChoosePcmFile() {
  if (std::optional<std::string> chosen = ChooseFile(PcmFileFilters())) m_pcmPath = *chosen;
  SetPcmPath(m_pcmPath);
}

void TunerDialog::OnExit() { accept(); }

void TunerDialog::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* about = menu.addAction(QStringLiteral("&About trimwright..."));
  if (m_services->RunMenu(menu, event->globalPos()) == about) ShowAbout();
}

std::optional<std::string> TunerDialog::ChooseFile(const QStringList& filters) {
  QFileDialog chooser(this, QStringLiteral("Open"));
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  chooser.setFileMode(QFileDialog::ExistingFile);
  chooser.setNameFilters(filters);
  const std::optional<QString> chosen = m_services->RunFileChooser(chooser);
  if (!chosen) return std::nullopt;
  return ToFileSystem(*chosen);
}

void TunerDialog::ShowMessageBox(const QString& text, QMessageBox::Icon icon) {
  // Paths may hold "<" or "&"; the text is never markup.
  QMessageBox box(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok, this);
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
