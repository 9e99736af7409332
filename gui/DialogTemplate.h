// The main window's template: its controls by id (ControlIds.h), made on the
// window in the template's order, which Qt also takes as the tab order, and
// placed in dialog units, with the button Enter presses marked as the
// default (Preview). The controls belong to the window's widget tree;
// the template keeps only the map from id to control, for as long as the
// window lives.
#ifndef TRIMWRIGHT_GUI_DIALOGTEMPLATE_H_
#define TRIMWRIGHT_GUI_DIALOGTEMPLATE_H_

#include <QRect>
#include <QString>
#include <map>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace trimwright {

class DialogUnits;

class DialogTemplate {
 public:
  // The window's size in dialog units.
  static constexpr int kWidthUnits = 219;
  static constexpr int kHeightUnits = 146;

  // Makes every control of the template on window, which owns them.
  DialogTemplate(QWidget* window, const DialogUnits& units);
  DialogTemplate(const DialogTemplate&) = delete;
  DialogTemplate& operator=(const DialogTemplate&) = delete;

  // The control with the id, or nullptr for an id the template lacks.
  QWidget* Control(int controlId) const;
  QPushButton* Button(int controlId) const;
  QLineEdit* Field(int controlId) const;
  QProgressBar* Progress() const;

 private:
  void AddButton(int controlId, const QString& text, const QRect& geometry, bool isDefault = false);
  void AddField(int controlId, const QRect& geometry);
  void AddLabel(const QString& text, const QRect& geometry);

  QWidget* window_;
  std::map<int, QWidget*> controls_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_DIALOGTEMPLATE_H_
