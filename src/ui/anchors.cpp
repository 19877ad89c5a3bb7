// Anchored controls.
#include "ui/anchors.h"

#include <QEvent>
#include <QWidget>

Anchors::Anchors(QWidget* parent, QSize design)
    : QObject(parent), parent_(parent), design_(design) {
    parent->installEventFilter(this);
}

void Anchors::Add(QWidget* control, QRect design, AnchorEdges edges) {
    controls_.push_back({control, design, edges});
    control->setGeometry(Place(design, edges, design_, parent_->size()));
}

QRect Anchors::Place(QRect design, AnchorEdges edges, QSize designParent, QSize parent) {
    int dx = parent.width() - designParent.width();
    int dy = parent.height() - designParent.height();
    QRect r = design;
    if (edges.testFlag(Anchor::Right)) {
        if (edges.testFlag(Anchor::Left)) {
            r.setWidth(r.width() + dx);
        } else {
            r.translate(dx, 0);
        }
    }
    if (edges.testFlag(Anchor::Bottom)) {
        if (edges.testFlag(Anchor::Top)) {
            r.setHeight(r.height() + dy);
        } else {
            r.translate(0, dy);
        }
    }
    return r;
}

bool Anchors::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent_ && event->type() == QEvent::Resize) Apply();
    return false;
}

void Anchors::Apply() {
    for (const Control& c : controls_) {
        c.widget->setGeometry(Place(c.design, c.edges, design_, parent_->size()));
    }
}
