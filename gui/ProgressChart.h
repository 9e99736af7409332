// The chart of an image's progress across its passes: the history entries
// on x, the fuel trims' mean distance from the target on y, one line per
// bank, the band within which the trims count as on target shaded, passes
// later undone marked hollow, undos and damaged entries marked on the axis.
// Its heading and its legend are labels that wrap above and below the plot,
// so that neither is ever cut short in a narrow window. Draws what a
// ProgressModel holds, which must outlive it; rebuilt whenever the model is
// reset. The series belong to the chart, the chart to the view, the view and
// the labels to this widget.
#ifndef TRIMWRIGHT_GUI_PROGRESSCHART_H_
#define TRIMWRIGHT_GUI_PROGRESSCHART_H_

#include <QWidget>

class QChartView;
class QLabel;
class QValueAxis;

namespace trimwright {

class ProgressModel;

class ProgressChart : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressChart(const ProgressModel& model, QWidget* parent = nullptr);

  // Draws the model's points anew.
  void Rebuild();

  QChartView* chartView() const { return m_view; }
  QLabel* heading() const { return m_heading; }
  QLabel* legend() const { return m_legend; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Ticks on the distance axis no closer than its labels can be read: a
  // plot too low for a label at every step gets fewer.
  void FitTicks();

  const ProgressModel& m_model;
  QLabel* m_heading = nullptr;
  QChartView* m_view = nullptr;
  QLabel* m_legend = nullptr;
  QValueAxis* m_distanceAxis = nullptr;  // the chart's, rebuilt with it
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_PROGRESSCHART_H_
