#include "gui/TunerDialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
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

void TunerDialog::OnProcess() {
  try {
    RunRequest request;
    if (!m_logPath.empty()) request.logPaths.push_back(m_logPath);
    request.pcmPath = m_pcmPath;
    request.logfileName = m_logfileName;
    request.targetBlmText = FieldText(IDC_TARGET_BLM);
    request.rpmLimitText = FieldText(IDC_RPM_LIMIT);
    TuningRun run(*this);
    const RunResult result = run.Perform(request);
    if (result.numbersRead) {
      m_targetBlm = result.targetBlm;
      m_rpmLimit = result.rpmLimit;
    }
  } catch (const TrimwrightError& error) {
    ShowMessageBox(QString::fromStdString(error.what()), QMessageBox::Critical);
  } catch (const std::exception& error) {
    ShowMessageBox(QStringLiteral("Unexpected error: ") + QString::fromStdString(error.what()),
                   QMessageBox::Critical);
  }
}

void TunerDialog::OnChooseLogFile() {
  if (std::optional<std::string> chosen = ChooseFile(LogFileFilters())) m_logPath = *chosen;
  m_logPathField->setText(FromFileSystem(m_logPath));
}

void TunerDialog::OnChoosePcmFile() {
  if (std::optional<std::string> chosen = ChooseFile(PcmFileFilters())) m_pcmPath = *chosen;
  m_pcmPathField->setText(FromFileSystem(m_pcmPath));
  m_logfileName = DeriveLogfileName(m_pcmPath);
  m_logfileField->setText(FromFileSystem(m_logfileName));
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
