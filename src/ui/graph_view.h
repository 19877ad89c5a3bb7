// The chart view of the graph windows: Shift and a dragged rectangle zoom, Ctrl and a drag
// pan, and its context menu copies the graph as a bitmap or as SVG, or undoes the zoom.
#pragma once

#include <QChartView>
#include <functional>

class GraphView : public QChartView {
  public:
    // `fit` shows the whole graph again (Undo Zoom).
    GraphView(QChart* chart, QWidget* parent, std::function<void()> fit);

    void CopyBitmap();
    // SVG, the vector form that takes the place of a metafile here.
    void CopySvg();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool panning_ = false;
    QPointF last_;
};
