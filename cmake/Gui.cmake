# The Qt window: a library of the window's classes on top of trimwright_core,
# the program `trimwright`, the tool that saves a picture of the window, and
# the window's Qt Test tests (run without a display on Qt's offscreen
# platform). Qt's imported include directories count as system headers, so
# the project's warning flags apply to our code only.
find_package(Qt6 REQUIRED COMPONENTS Gui Widgets Charts Test)

# The models of the pass window and of the capture window (with the capture's
# runner): Qt Core and Gui only, no widget, so their tests need no screen.
add_library(trimwright_models STATIC
  gui/CaptureCellsModel.cpp
  gui/CaptureRunner.cpp
  gui/CompareTableModel.cpp
  gui/PassNotes.cpp
  gui/ProgressModel.cpp
  gui/RecordScatterModel.cpp
  gui/TrimTableModel.cpp
  gui/VeTableModel.cpp
)
set_target_properties(trimwright_models PROPERTIES AUTOMOC ON)
target_link_libraries(trimwright_models PUBLIC trimwright_core Qt6::Gui)
# Qt's headers are most of what the window's sources take to compile: they
# are parsed once for each library, and the programs use the window's.
target_precompile_headers(trimwright_models PRIVATE
  <QAbstractTableModel> <QColor> <QFont> <QList> <QPointF> <QString> <QStringList> <string> <vector>)

add_library(trimwright_window STATIC
  gui/AboutDialog.cpp
  gui/AppIcon.cpp
  gui/CaptureWindow.cpp
  gui/CompareWindow.cpp
  gui/DialogTemplate.cpp
  gui/DialogUnits.cpp
  gui/OptionsDialog.cpp
  gui/PassWindow.cpp
  gui/ProgressChart.cpp
  gui/RecordScatterView.cpp
  gui/VeCellDelegate.cpp
  gui/VeGridFit.cpp
  gui/WindowPlacement.cpp
  gui/QtDialogServices.cpp
  gui/TunerApp.cpp
  gui/TunerDialog.cpp
  gui/WindowSettings.cpp
)
set_target_properties(trimwright_window PROPERTIES AUTOMOC ON)
target_link_libraries(trimwright_window PUBLIC trimwright_models Qt6::Widgets Qt6::Charts)
target_precompile_headers(trimwright_window PRIVATE
  <QApplication> <QChart> <QChartView> <QDialog> <QFileDialog> <QHBoxLayout> <QHeaderView> <QLabel>
  <QLineSeries> <QMenu> <QMessageBox> <QPainter> <QPushButton> <QScatterSeries> <QSettings>
  <QTabWidget> <QTableView> <QVBoxLayout> <QValueAxis> <QWidget> <string> <vector>)

add_executable(trimwright gui/trimwright_main.cpp)
target_link_libraries(trimwright PRIVATE trimwright_window)
target_precompile_headers(trimwright REUSE_FROM trimwright_window)

add_executable(trimwright_screenshot gui/screenshot_main.cpp)
target_link_libraries(trimwright_screenshot PRIVATE trimwright_window)
target_precompile_headers(trimwright_screenshot REUSE_FROM trimwright_window)

# The window's tests by subject: the main window, the passes it runs, the
# pass window. Each is one executable on the offscreen platform.
function(trimwright_window_test name source)
  add_executable(${name} ${source})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE trimwright_window trimwright_writers Qt6::Test)
  target_compile_options(${name} PRIVATE ${TRIMWRIGHT_TEST_FLAGS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endfunction()
trimwright_window_test(main_window_test tests/gui/MainWindowTest.cpp)
trimwright_window_test(window_pass_test tests/gui/WindowPassTest.cpp)
trimwright_window_test(pass_window_test tests/gui/PassWindowTest.cpp)
trimwright_window_test(pass_window_fit_test tests/gui/PassWindowFitTest.cpp)
target_compile_definitions(pass_window_test PRIVATE
  TRIMWRIGHT_EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
target_link_libraries(pass_window_test PRIVATE nlohmann_json::nlohmann_json)
# Captures from the simulated engine computer on a pseudo-terminal.
trimwright_window_test(capture_window_test tests/gui/CaptureWindowTest.cpp)
add_dependencies(capture_window_test simulate_ecu)
target_compile_definitions(capture_window_test PRIVATE
  TRIMWRIGHT_SIMULATE_ECU_PATH="$<TARGET_FILE:simulate_ecu>")

add_executable(pass_models_test tests/gui/PassModelsTest.cpp)
set_target_properties(pass_models_test PROPERTIES AUTOMOC ON)
target_link_libraries(pass_models_test PRIVATE trimwright_models Qt6::Test)
target_compile_options(pass_models_test PRIVATE ${TRIMWRIGHT_TEST_FLAGS})
add_test(NAME pass_models_test COMMAND pass_models_test)
add_executable(capture_models_test tests/gui/CaptureModelsTest.cpp)
set_target_properties(capture_models_test PROPERTIES AUTOMOC ON)
target_link_libraries(capture_models_test PRIVATE trimwright_models trimwright_writers Qt6::Test)
target_compile_options(capture_models_test PRIVATE ${TRIMWRIGHT_TEST_FLAGS})
add_test(NAME capture_models_test COMMAND capture_models_test)
add_executable(history_models_test tests/gui/HistoryModelsTest.cpp)
set_target_properties(history_models_test PROPERTIES AUTOMOC ON)
target_link_libraries(history_models_test PRIVATE trimwright_models Qt6::Test)
target_compile_options(history_models_test PRIVATE ${TRIMWRIGHT_TEST_FLAGS})
add_test(NAME history_models_test COMMAND history_models_test)

# Draws docs/convergence.png (scripts/convergence): the convergence loops of
# tools/ConvergenceLoop with QPainter, no widget.
add_executable(convergence_chart tools/convergence_chart.cpp)
target_link_libraries(convergence_chart PRIVATE trimwright_writers Qt6::Gui)
