// The application object: it sets up Qt for the program (name, icon) and
// runs the main window modally; the program ends when the window closes. One
// exists for the life of the program, made by main().
#ifndef TRIMWRIGHT_GUI_TUNERAPP_H_
#define TRIMWRIGHT_GUI_TUNERAPP_H_

#include <QApplication>

#include "common/Version.h"

namespace trimwright {

class TunerApp {
 public:
  // The name message boxes carry as their caption.
  static constexpr const char* kApplicationName = kProgramName;

  // argc and argv must outlive the object: Qt keeps referring to them.
  TunerApp(int& argc, char** argv);

  TunerApp(const TunerApp&) = delete;
  TunerApp& operator=(const TunerApp&) = delete;

  // Shows the main window, takes the files named on the command line as if
  // chosen, and returns the exit status once the window was closed.
  int InitInstance();

 private:
  QApplication application_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_TUNERAPP_H_
