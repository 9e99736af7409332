#include "gui/DialogTemplate.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "gui/ControlIds.h"
#include "gui/DialogUnits.h"

namespace trimwright {

namespace {

constexpr int kProgressMaximum = 100;

}  // namespace

DialogTemplate::DialogTemplate(QWidget* window, const DialogUnits& units) : window_(window) {
  AddButton(IDC_CHOOSE_LOG, QStringLiteral("Choose File"), units.Rect(162, 7, 50, 14));
  AddButton(IDC_EXIT, QStringLiteral("Exit"), units.Rect(162, 90, 50, 14));
  AddField(IDC_LOG_PATH, units.Rect(59, 7, 95, 14));
  AddLabel(QStringLiteral("logged data file"), units.Rect(7, 9, 49, 8));
  AddLabel(QStringLiteral("PCM file"), units.Rect(7, 34, 46, 8));
  AddField(IDC_PCM_PATH, units.Rect(59, 31, 95, 14));
  AddButton(IDC_PROCESS, QStringLiteral("Process"), units.Rect(7, 126, 50, 14));
  AddButton(IDC_CHOOSE_PCM, QStringLiteral("Choose File"), units.Rect(162, 31, 50, 14));
  // Enter in a field presses Preview: it writes nothing, and what it shows
  // is written only by a deliberate Apply. Process would write the image at
  // a key pressed to end a number.
  AddButton(IDC_PREVIEW, QStringLiteral("Preview"), units.Rect(162, 68, 50, 14), true);
  AddLabel(QStringLiteral("Logfile"), units.Rect(7, 58, 28, 8));
  AddField(IDC_LOGFILE, units.Rect(59, 55, 95, 14));

  auto* progress = new QProgressBar(window_);
  progress->setRange(0, kProgressMaximum);
  progress->setValue(0);
  progress->setTextVisible(false);
  progress->setGeometry(units.Rect(69, 126, 143, 14));
  controls_[IDC_PROGRESS] = progress;

  AddLabel(QStringLiteral("Target blm"), units.Rect(7, 81, 34, 8));
  AddField(IDC_TARGET_BLM, units.Rect(59, 79, 40, 14));
  AddLabel(QStringLiteral("Tune up to"), units.Rect(7, 105, 36, 8));
  AddField(IDC_RPM_LIMIT, units.Rect(59, 102, 40, 14));
  AddLabel(QStringLiteral("rpm"), units.Rect(107, 105, 12, 8));
}

void DialogTemplate::AddButton(int controlId, const QString& text, const QRect& geometry,
                               bool isDefault) {
  auto* button = new QPushButton(text, window_);
  button->setGeometry(geometry);
  button->setDefault(isDefault);
  controls_[controlId] = button;
}

void DialogTemplate::AddField(int controlId, const QRect& geometry) {
  auto* field = new QLineEdit(window_);
  field->setGeometry(geometry);
  // The path fields show what the choosers stored, which is what a run uses;
  // typing there would change nothing, so they take no typing.
  if (controlId == IDC_LOG_PATH || controlId == IDC_PCM_PATH || controlId == IDC_LOGFILE) {
    field->setReadOnly(true);
  }
  controls_[controlId] = field;
}

void DialogTemplate::AddLabel(const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, window_);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Where the font sets a word wider than its box ("rpm" in DejaVu Sans), the
  // label grows to the right instead of losing letters; nothing sits there.
  QRect box = geometry;
  box.setWidth(std::max(geometry.width(), label->fontMetrics().horizontalAdvance(text)));
  label->setGeometry(box);
}

QWidget* DialogTemplate::Control(int controlId) const {
  const auto found = controls_.find(controlId);
  return found == controls_.end() ? nullptr : found->second;
}

QPushButton* DialogTemplate::Button(int controlId) const {
  return qobject_cast<QPushButton*>(Control(controlId));
}

QLineEdit* DialogTemplate::Field(int controlId) const {
  return qobject_cast<QLineEdit*>(Control(controlId));
}

QProgressBar* DialogTemplate::Progress() const {
  return qobject_cast<QProgressBar*>(Control(IDC_PROGRESS));
}

}  // namespace trimwright
