#include "gui/AboutDialog.h"

#include <QLabel>
#include <QPushButton>

#include "common/Version.h"
#include "gui/AppIcon.h"
#include "gui/DialogUnits.h"

namespace trimwright {

namespace {

constexpr int kWidthUnits = 235;
constexpr int kHeightUnits = 81;

}  // namespace

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("About trimwright"));
  setFont(DialogUnits::DialogFont());
  const DialogUnits units = DialogUnits::ForFont(QFontMetrics(font(), this));
  setFixedSize(units.Size(kWidthUnits, kHeightUnits));

  // An icon control takes the size of its icon, not the size it is given.
  auto* icon = new QLabel(this);
  icon->setPixmap(AppIcon::Paint(AppIcon::kLargeSize));
  icon->setGeometry(units.X(11), units.Y(17), AppIcon::kLargeSize, AppIcon::kLargeSize);

  auto* name = new QLabel(QStringLiteral("Trimwright v") + QString::fromLatin1(kVersion), this);
  name->setTextFormat(Qt::PlainText);
  name->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  name->setGeometry(units.Rect(41, 10, 70, 8));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(units.Rect(178, 7, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace trimwright
