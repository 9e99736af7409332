#include "gui/QtDialogServices.h"

#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QStringList>

namespace trimwright {

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
