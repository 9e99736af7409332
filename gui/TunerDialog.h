// The program's one window: the paths of the logged data file and of the
// calibration image, the derived logfile name, the target BLM and rpm limit
// fields, the Process and Exit buttons and a progress bar. It builds the
// widgets, runs the choosers, drops and boxes, and hands each pass to its
// PassSession, to which it lends itself as the SessionView. The child widgets
// belong to the window's widget tree.
#ifndef TRIMWRIGHT_GUI_TUNERDIALOG_H_
#define TRIMWRIGHT_GUI_TUNERDIALOG_H_

#include <QDialog>
#include <QIcon>
#include <QMessageBox>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/PassSession.h"
#include "app/RunRequest.h"
#include "calibration/PassPlan.h"
#include "gui/DialogServices.h"
#include "gui/WindowSettings.h"

class QContextMenuEvent;
class QDragEnterEvent;
class QDropEvent;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace trimwright {

class CaptureWindow;
class CompareWindow;
class DialogTemplate;
class PassWindow;

class TunerDialog : public QDialog, private SessionView {
  Q_OBJECT

 public:
  // A window whose choosers, message boxes and About box appear on screen.
  explicit TunerDialog(QWidget* parent = nullptr);
  // A window that hands its modal parts to services, which must outlive it.
  explicit TunerDialog(DialogServices& services, QWidget* parent = nullptr);
  ~TunerDialog() override;

  TunerDialog(const TunerDialog&) = delete;
  TunerDialog& operator=(const TunerDialog&) = delete;

  // The control with the given IDC_ id, or nullptr for an id the window lacks.
  QWidget* Control(int controlId) const;

  // What the choosers stored; the run uses these, never the fields' texts.
  const std::string& logPath() const { return m_logPath; }
  const std::string& pcmPath() const { return m_pcmPath; }
  const std::string& logfileName() const { return m_logfileName; }

  // The filters of the two choosers, in the order the user sees them.
  static QStringList LogFileFilters();
  static QStringList PcmFileFilters();

  // Performs one tuning run with the stored paths and the two number fields,
  // then shows what it wrote in the pass window. A file or memory failure is
  // shown in a message box; the window stays.
  void OnProcess();
  // Computes the pass Process would perform, without writing anything, and
  // shows it in the pass window, whose Apply writes exactly that pass.
  void OnPreview();
  // Writes the pass last previewed; refuses and previews again when its log
  // or image changed on disk since.
  void OnApplyPreview();
  // Takes files as if chosen: logs and images by their extension (the
  // logfile name follows the image). Each name it cannot use is reported in
  // one message box, saying what it is (missing, a folder, a FIFO, ...).
  void OpenFiles(const QStringList& paths);
  // Edits the limits of the passes the window runs (Options dialog).
  void OnOptions();
  // Puts back the image as it was before its newest pass, after asking.
  void OnUndoLastPass();
  // Locks (or unlocks) the cells selected in the pass window on the image it
  // shows, stored at once; a preview is planned again so that what Apply
  // writes keeps them.
  void OnLockCells(bool lock);
  const PassLimits& limits() const { return m_limits; }
  const std::vector<std::string>& logPaths() const { return m_logPaths; }
  // The pass window, once a pass was shown (nullptr before).
  PassWindow* passWindow() const { return m_passWindow; }
  // Compares image a (the older, or the one chosen) with b (the image being
  // tuned), asking for a when it is empty, and shows the change from A to B
  // in the compare window; a failure in a message box.
  void OnCompare(const std::string& a, const std::string& b);
  // The compare window, once a comparison was shown (nullptr before).
  CompareWindow* compareWindow() const { return m_compareWindow; }
  // Opens the capture window, whose new log comes to the log field as if
  // chosen; the image stays.
  void OnCapture();
  // The capture window, once opened (nullptr before).
  CaptureWindow* captureWindow() const { return m_captureWindow; }
  // The caption of every message box the program shows.
  static QString MessageTitle();
  // Lets the user choose the logged data file and shows the stored path.
  void OnChooseLogFile();
  // Lets the user choose the calibration image, shows the stored path and
  // derives the logfile name from it, also when the user cancels.
  void OnChoosePcmFile();
  // Closes the window, which ends the program.
  void OnExit();
  // However the window closes (Exit, Escape, its close box), the numbers
  // typed are remembered as a run would remember them.
  void done(int result) override;

 protected:
  // Offers Options, Undo, "&Capture a drive..." and About on a right click
  // anywhere in the window but the edit fields, which keep their own
  // editing menu.
  void contextMenuEvent(QContextMenuEvent* event) override;
  // Files dropped on the window are taken as OpenFiles takes them.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  TunerDialog(std::unique_ptr<DialogServices> ownedServices, DialogServices* services,
              QWidget* parent);

  // Runs an open-file chooser with filters in the folder of current (the
  // file the window holds now, named on its command line or chosen), or
  // without one in the folder last used for folderKey; the chosen paths in
  // the file system's encoding, none after Cancel.
  std::vector<std::string> ChooseFiles(const QStringList& filters, const QString& folderKey,
                                       const std::string& current, bool several = true);
  // The fields and limits remembered from the last start.
  void LoadSettings();
  // The limits; the number fields too when fields is set and the run takes
  // them.
  void SaveSettings(bool fields);
  void ShowMessageBox(const QString& text, QMessageBox::Icon icon);
  void ShowAbout();

  // The text of the input field with the control id.
  std::string FieldText(int controlId) const;
  // Reads the two number fields into m_targetBlm and m_rpmLimit: the one
  // place their texts become numbers.
  void ReadFields();
  // The request of a run with the stored paths and the numbers read.
  RunRequest Request(bool dryRun) const;
  void SetLogPaths(const std::vector<std::string>& paths);
  void SetPcmPath(const std::string& path);

  // SessionView, for the session and its runs.
  void ShowMessage(const std::string& text) override;
  void SetProgress(int position) override;
  void RepaintProgress() override;
  void ShowError(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  bool AskTuneAnyway(const std::string& refusal) override;
  bool Confirm(const std::string& question) override;
  void ShowPass(const PassPlan& plan, bool preview) override;
  void PreviewLost() override;

  std::unique_ptr<DialogServices> m_ownedServices;  // set when the window runs its own
  DialogServices* m_services;

  QIcon m_hIcon;
  std::string m_logPath;  // the first of m_logPaths
  std::string m_pcmPath;
  std::string m_logfileName;
  std::int32_t m_targetBlm = 0;
  std::int32_t m_rpmLimit = 0;
  std::vector<std::string> m_logPaths;
  PassLimits m_limits;

  PassSession m_session{*this};
  WindowSettings m_settings;

  std::unique_ptr<DialogTemplate> m_template;
  QLineEdit* m_logPathField = nullptr;
  QLineEdit* m_pcmPathField = nullptr;
  QLineEdit* m_logfileField = nullptr;
  QProgressBar* m_progress = nullptr;
  PassWindow* m_passWindow = nullptr;
  CompareWindow* m_compareWindow = nullptr;
  CaptureWindow* m_captureWindow = nullptr;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_TUNERDIALOG_H_
