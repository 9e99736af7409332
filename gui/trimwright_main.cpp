// The window program: the application object does all the work.
#include "gui/TunerApp.h"

int main(int argc, char** argv) {
  trimwright::TunerApp app(argc, argv);
  return app.InitInstance();
}
