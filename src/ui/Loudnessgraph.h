// The loudness window: the momentary and short-term loudness of the last audio stream
// decoded, every 100 ms over the stream's time, with the profile's loudness target drawn
// across and its tolerance as a band around it. Zoom, pan and copy as on the bitrate graph.
#pragma once

#include <QWidget>
#include <vector>

#include "audio/loudness_listener.h"

class QAreaSeries;
class QChart;
class QLineSeries;
class GraphView;

class TLoudnessForm : public QWidget {
    Q_OBJECT

  public:
    TLoudnessForm();

    void InitLoudnessGraph();
    void AddPoint(const LoudnessPoint& point);
    // `targetLufs` and `toleranceLu` are NaN when their keys are not set: no target line,
    // no band.
    void DrawGraphic(double targetLufs, double toleranceLu);

    QLineSeries* Momentary() const { return momentary_; }
    QLineSeries* ShortTerm() const { return shortTerm_; }
    QLineSeries* Target() const { return target_; }
    QAreaSeries* ToleranceBand() const { return band_; }
    QChart* Chart() const;
    GraphView* View() const { return view_; }

  public slots:
    void UndoZoom1Click();

  private:
    void FitAxes();

    std::vector<LoudnessPoint> pending_;
    GraphView* view_ = nullptr;
    QLineSeries* momentary_ = nullptr;
    QLineSeries* shortTerm_ = nullptr;
    QLineSeries* target_ = nullptr;
    QLineSeries* bandTop_ = nullptr;
    QLineSeries* bandBottom_ = nullptr;
    QAreaSeries* band_ = nullptr;
};
