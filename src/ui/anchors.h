// Controls placed at fixed design rectangles that keep their distance to chosen edges of
// their parent when the parent is resized: a control anchored left and right stretches
// with the width, one anchored right only moves with the right edge, and likewise for
// top and bottom.
#pragma once

#include <QFlags>
#include <QObject>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

enum class Anchor { Left = 1, Top = 2, Right = 4, Bottom = 8 };
Q_DECLARE_FLAGS(AnchorEdges, Anchor)
Q_DECLARE_OPERATORS_FOR_FLAGS(AnchorEdges)

class Anchors : public QObject {
  public:
    // `design`: the parent's size the design rectangles were laid out in.
    Anchors(QWidget* parent, QSize design);

    void Add(QWidget* control, QRect design, AnchorEdges edges);
    // Where a control of this design rectangle stands in a parent of this size.
    static QRect Place(QRect design, AnchorEdges edges, QSize designParent, QSize parent);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Control {
        QWidget* widget;
        QRect design;
        AnchorEdges edges;
    };
    void Apply();

    QWidget* parent_;
    QSize design_;
    std::vector<Control> controls_;
};
