// The chart of an image's progress across its passes: the history entries
// on x, the fuel trims' mean distance from the target on y, one line per
// bank, the band within which the trims count as on target shaded, passes
// later undone marked hollow, undos and damaged entries marked on the axis.
// Draws what a ProgressModel holds, which must outlive it; rebuilt whenever
// the model is reset. The series belong to the chart, the chart to the view.
#ifndef TRIMWRIGHT_GUI_PROGRESSCHART_H_
#define TRIMWRIGHT_GUI_PROGRESSCHART_H_

#include <QChartView>

namespace trimwright {

class ProgressModel;

class ProgressChart : public QChartView {
  Q_OBJECT

 public:
  explicit ProgressChart(const ProgressModel& model, QWidget* parent = nullptr);

  // Draws the model's points anew.
  void Rebuild();

 private:
  const ProgressModel& m_model;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_PROGRESSCHART_H_
