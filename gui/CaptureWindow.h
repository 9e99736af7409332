// The capture window beside the main one: logs the engine computer's data
// stream live from a serial device into a new .csv log. The device is chosen
// from the serial ports present or typed; Start asks for the new log's name
// and runs the capture on a thread of its own (CaptureRunner); the live
// values and the fuel trim cells (CaptureCellsModel) follow it; Stop ends
// it, and the log goes to the main window's log field. Closing the window
// (Close, Escape, its close box) stops a capture first. Owns its runner and
// model; the widgets belong to its widget tree; services and settings are
// the main window's and outlive it.
#ifndef TRIMWRIGHT_GUI_CAPTUREWINDOW_H_
#define TRIMWRIGHT_GUI_CAPTUREWINDOW_H_

#include <QDialog>
#include <QMessageBox>
#include <QSize>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture/SerialPorts.h"
#include "gui/CaptureCellsModel.h"
#include "gui/CaptureRunner.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace trimwright {

class DialogServices;
class WindowSettings;

class CaptureWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr QSize kWantedSize{820, 560};
  // The live values, in the order they are shown.
  enum Value { kRecords, kRate, kBadFrames, kRpm, kMap, kBlmCell, kBlms, kTime, kValueCount };

  CaptureWindow(DialogServices& services, WindowSettings& settings, QWidget* parent);
  ~CaptureWindow() override;

  // What the main window holds: the target BLM the cells are coloured by,
  // the pass's record minimum, its log and its image (beside one of which a
  // new log goes when no log folder is remembered; the image's fuel trim
  // boundaries name the bands, when it can be read).
  void SetPassContext(int targetBlm, std::int32_t minRecords, const std::string& currentLog,
                      const std::string& image);

  // Lists ports in the device choice, each by-id name with its target; a
  // path typed there is kept.
  void ShowPorts(const std::vector<SerialPort>& ports);
  // The path of the device chosen or typed, in the file system's encoding.
  std::string DevicePath() const;
  // The name a new log gets in the chooser: drive-YYYYMMDD-HHMMSS.csv.
  static QString DefaultLogName();

  // Asks for the new log and starts capturing from the device chosen.
  void OnStart();
  // Ends the capture; its log goes to the main window once complete.
  void OnStop();
  // However the window closes, a capture running is stopped first and its
  // log completed.
  void done(int result) override;

  bool capturing() const { return m_runner.running(); }
  CaptureCellsModel& cellsModel() { return m_cells; }
  CaptureRunner& runner() { return m_runner; }
  QComboBox* deviceChoice() const { return m_device; }
  QPushButton* startButton() const { return m_start; }
  QPushButton* stopButton() const { return m_stop; }
  QLabel* stateLabel() const { return m_state; }
  QLabel* valueLabel(Value value) const { return m_values[value]; }
  QTableView* cellsView() const { return m_cellsView; }

 signals:
  // A capture ended with records in the new log at path.
  void logCaptured(const std::string& path);

 private:
  // The new log's path from a save chooser, nothing after Cancel.
  std::optional<std::string> ChooseLog();
  void OnStatus(const CaptureStatus& status);
  void OnFinished(const CaptureOutcome& outcome);
  void ShowValues(const CaptureStatus& status);
  void SetCapturing(bool capturing);
  void ShowBox(const QString& text, QMessageBox::Icon icon);

  DialogServices& m_services;
  WindowSettings& m_settings;
  std::string m_besideFile;  // the log or image a new log goes beside
  CaptureCellsModel m_cells;
  CaptureRunner m_runner;
  QComboBox* m_device = nullptr;
  QPushButton* m_refresh = nullptr;
  QPushButton* m_start = nullptr;
  QPushButton* m_stop = nullptr;
  QLabel* m_state = nullptr;
  std::array<QLabel*, kValueCount> m_values{};
  QTableView* m_cellsView = nullptr;
  QLabel* m_legend = nullptr;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_CAPTUREWINDOW_H_
