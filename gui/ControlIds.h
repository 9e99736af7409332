// Ids of the main window's controls, shared by the window and the tuning run
// (which reads two fields and moves the progress bar by id).
#ifndef TRIMWRIGHT_GUI_CONTROLIDS_H_
#define TRIMWRIGHT_GUI_CONTROLIDS_H_

namespace trimwright {

constexpr int IDC_CHOOSE_LOG = 1000;
constexpr int IDC_EXIT = 1001;
constexpr int IDC_LOG_PATH = 1002;
constexpr int IDC_PCM_PATH = 1003;
constexpr int IDC_PROCESS = 1004;
constexpr int IDC_CHOOSE_PCM = 1005;
constexpr int IDC_LOGFILE = 1006;
constexpr int IDC_PROGRESS = 1008;
constexpr int IDC_TARGET_BLM = 1009;
constexpr int IDC_RPM_LIMIT = 1010;

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_CONTROLIDS_H_
