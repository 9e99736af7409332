#include "gui/QtDialogServices.h"

#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QSettings>
#include <QStringList>

namespace trimwright {

QtDialogServices::QtDialogServices() = default;
QtDialogServices::~QtDialogServices() = default;

QSettings* QtDialogServices::Settings() {
  if (!m_settings) {
    m_settings =
        std::make_unique<QSettings>(QStringLiteral("Trimwright"), QStringLiteral("Trimwright"));
  }
  return m_settings.get();
}

std::optional<QStringList> QtDialogServices::RunFilesChooser(QFileDialog& chooser) {
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = chooser.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

int QtDialogServices::RunModal(QDialog& dialog) { return dialog.exec(); }

std::optional<QString> QtDialogServices::RunFileChooser(QFileDialog& chooser) {
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = chooser.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.first();
}

QAction* QtDialogServices::RunMenu(QMenu& menu, const QPoint& globalPos) {
  return menu.exec(globalPos);
}

}  // namespace trimwright
