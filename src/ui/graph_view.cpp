// Zoom, pan and copy of a graph.
#include "ui/graph_view.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgGenerator>

GraphView::GraphView(QChart* chart, QWidget* parent, std::function<void()> fit)
    : QChartView(chart, parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    chart->setMargins(QMargins(3, 3, 3, 3));
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copyBitmap = new QAction("Copy Bitmap to Clipboard", this);
    auto* copyMetafile = new QAction("Copy Metafile to Clipboard", this);
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    auto* undoZoom = new QAction("Undo Zoom", this);
    addActions({copyBitmap, copyMetafile, separator, undoZoom});
    connect(copyBitmap, &QAction::triggered, this, &GraphView::CopyBitmap);
    connect(copyMetafile, &QAction::triggered, this, &GraphView::CopySvg);
    connect(undoZoom, &QAction::triggered, this, std::move(fit));
}

void GraphView::CopyBitmap() { QApplication::clipboard()->setImage(grab().toImage()); }

void GraphView::CopySvg() {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size());
    svg.setViewBox(rect());
    QPainter painter(&svg);
    render(&painter);
    painter.end();
    auto* mime = new QMimeData;
    mime->setData("image/svg+xml", buffer.data());
    QApplication::clipboard()->setMimeData(mime);
}

void GraphView::mousePressEvent(QMouseEvent* event) {
    panning_ = event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier);
    setRubberBand((event->modifiers() & Qt::ShiftModifier) ? QChartView::RectangleRubberBand
                                                           : QChartView::NoRubberBand);
    last_ = event->position();
    QChartView::mousePressEvent(event);
}

void GraphView::mouseMoveEvent(QMouseEvent* event) {
    if (panning_) {
        QPointF delta = event->position() - last_;
        chart()->scroll(-delta.x(), delta.y());
        last_ = event->position();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void GraphView::mouseReleaseEvent(QMouseEvent* event) {
    panning_ = false;
    QChartView::mouseReleaseEvent(event);
}
