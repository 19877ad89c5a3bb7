// The VBV buffer window: the video buffer model's occupancy of the last video stream
// analysed, in kilobits over display time, rising between removals and dropping at each
// picture's removal, with the buffer's size drawn as a line across. Drawn once, when the
// stream is finished.
#pragma once

#include <QWidget>
#include <vector>

#include "video/vbv_model.h"

class QChart;
class QChartView;
class QLineSeries;

class TVbvForm : public QWidget {
    Q_OBJECT

  public:
    TVbvForm();

    void InitVbvGraph();
    void AddSample(const VbvSample& sample);
    void DrawGraphic(double bufferBits);

    QLineSeries* Occupancy() const { return occupancy_; }
    QLineSeries* BufferSize() const { return bufferSize_; }
    QChart* Chart() const;

  private:
    std::vector<VbvSample> pending_;
    QChartView* chartView_ = nullptr;
    QLineSeries* occupancy_ = nullptr;
    QLineSeries* bufferSize_ = nullptr;
};
