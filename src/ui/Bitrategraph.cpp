// Bitrate graph window.
#include "ui/Bitrategraph.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QFrame>
#include <QHeaderView>
#include <QImage>
#include <QLineSeries>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgGenerator>
#include <QTableView>
#include <QValueAxis>

#include <algorithm>

namespace {

const QColor kSkyBlue(166, 202, 240);
constexpr int kChartWidth = 537;
constexpr int kChartHeight = 393;
constexpr int kGridColumnWidths[BitrateTableModel::Count] = {40, 60};

// Zoom by dragging a rectangle with Shift and the left button; pan with Ctrl.
class ZoomPanChartView : public QChartView {
  public:
    using QChartView::QChartView;

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        panning_ = event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier);
        setRubberBand((event->modifiers() & Qt::ShiftModifier) ? QChartView::RectangleRubberBand
                                                               : QChartView::NoRubberBand);
        last_ = event->position();
        QChartView::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (panning_) {
            QPointF delta = event->position() - last_;
            chart()->scroll(-delta.x(), delta.y());
            last_ = event->position();
            return;
        }
        QChartView::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        panning_ = false;
        QChartView::mouseReleaseEvent(event);
    }

  private:
    bool panning_ = false;
    QPointF last_;
};

QLineSeries* NewSeries(QChart* chart, const QColor& colour) {
    auto* series = new QLineSeries;
    QPen pen(colour);
    pen.setWidth(2);
    series->setPen(pen);
    chart->addSeries(series);
    return series;
}

}  // namespace

int BitrateTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(samples_.size()) + 1;  // and an empty row
}

int BitrateTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count;
}

QVariant BitrateTableModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole || index.row() >= static_cast<int>(samples_.size())) return {};
    if (index.column() == Second) return QString::number(index.row() + 1);
    return QString::asprintf("%.2f", samples_[static_cast<size_t>(index.row())]);
}

QVariant BitrateTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role == Qt::DisplayRole) return section == Second ? QString("Sec.") : QString("Bitrate");
    return {};
}

void BitrateTableModel::SetSamples(std::vector<double> samples) {
    beginResetModel();
    samples_ = std::move(samples);
    endResetModel();
}

QString BitrateTableModel::AsText() const {
    QStringList lines = {"Sec.\tBitrate"};
    for (size_t i = 0; i < samples_.size(); ++i) {
        lines << QString::number(i + 1) + "\t" + QString::asprintf("%.2f", samples_[i]);
    }
    return lines.join('\n') + '\n';
}

TBitRateForm::TBitRateForm() {
    setWindowTitle("BitRateForm");
    setGeometry(297, 175, 670, 473);
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setBackgroundBrush(kSkyBlue);
    chart->setPlotAreaBackgroundBrush(Qt::white);
    chart->setPlotAreaBackgroundVisible(true);
    series1_ = NewSeries(chart, QColor(255, 0, 0));
    // Every point marked by a small filled red square.
    QImage square(5, 5, QImage::Format_ARGB32);
    square.fill(QColor(255, 0, 0));
    series1_->setLightMarker(square);
    series1_->setMarkerSize(5);
    series2_ = NewSeries(chart, QColor(0, 128, 0));
    auto* time = new QValueAxis;
    time->setTitleText("Time (sec.)");
    auto* bitrate = new QValueAxis;
    bitrate->setTitleText("Bitrate (Kbps)");
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(bitrate, Qt::AlignLeft);
    for (QLineSeries* series : {series1_, series2_}) {
        series->attachAxis(time);
        series->attachAxis(bitrate);
    }
    auto* toolStrip = new QFrame(this);  // stays empty
    toolStrip->setGeometry(8, 8, 649, 33);
    BRChart_ = new ZoomPanChartView(chart, this);
    BRChart_->setGeometry(8, 48, kChartWidth, kChartHeight);
    BRChart_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    BRChart_->setLineWidth(2);
    chart->setMargins(QMargins(3, 3, 3, 3));
    BRChart_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copyBitmap = new QAction("Copy Bitmap to Clipboard", BRChart_);
    auto* copyMetafile = new QAction("Copy Metafile to Clipboard", BRChart_);
    auto* separator = new QAction(BRChart_);
    separator->setSeparator(true);
    auto* undoZoom = new QAction("Undo Zoom", BRChart_);
    BRChart_->addActions({copyBitmap, copyMetafile, separator, undoZoom});
    connect(copyBitmap, &QAction::triggered, this, &TBitRateForm::CopyBitmaptoClipboard1Click);
    connect(copyMetafile, &QAction::triggered, this, &TBitRateForm::CopyMetafiletoClipboard1Click);
    connect(undoZoom, &QAction::triggered, this, &TBitRateForm::UndoZoom1Click);

    BRGrid_ = new QTableView(this);
    BRGrid_->setModel(&model_);
    BRGrid_->verticalHeader()->hide();
    BRGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    BRGrid_->setWordWrap(false);
    BRGrid_->setStyleSheet("QTableView { background-color: rgb(166, 202, 240); }");
    QFont font("Tahoma");
    font.setPointSize(8);
    BRGrid_->setFont(font);
    int gridWidth = 0;
    for (int column = 0; column < BitrateTableModel::Count; ++column) {
        BRGrid_->setColumnWidth(column, kGridColumnWidths[column]);
        gridWidth += kGridColumnWidths[column];
    }
    BRGrid_->setGeometry(552, 48, gridWidth + 5, kChartHeight);
    auto* copy = new QAction("Copy", BRGrid_);
    BRGrid_->setContextMenuPolicy(Qt::ActionsContextMenu);
    BRGrid_->addAction(copy);
    connect(copy, &QAction::triggered, this, &TBitRateForm::Copy1Click);
    // Only the height may change: the chart and the grid follow it.
    setFixedWidth(gridWidth + kChartWidth + 24);
}

QChart* TBitRateForm::Chart() const { return BRChart_->chart(); }

void TBitRateForm::InitBitrateGrid() {
    model_.SetSamples({});
    series1_->clear();
    series2_->clear();
}

void TBitRateForm::AddInfoToRow(double kilobits) { pending_.push_back(kilobits); }

void TBitRateForm::DrawGraphic(double averageKbps) {
    QList<QPointF> line = {{0, 0}};
    QList<QPointF> average = {{0, averageKbps}};
    for (size_t k = 1; k <= pending_.size(); ++k) {
        line << QPointF(static_cast<double>(k), pending_[k - 1]);
        average << QPointF(static_cast<double>(k), averageKbps);
    }
    series1_->replace(line);
    series2_->replace(average);
    model_.SetSamples(std::move(pending_));
    pending_.clear();
    FitAxes();
}

// The full extent of both lines.
void TBitRateForm::FitAxes() {
    double maxX = 1;
    double maxY = 1;
    for (QLineSeries* series : {series1_, series2_}) {
        for (const QPointF& p : series->points()) {
            maxX = std::max(maxX, p.x());
            maxY = std::max(maxY, p.y());
        }
    }
    Chart()->zoomReset();
    Chart()->axes(Qt::Horizontal).first()->setRange(0, maxX);
    Chart()->axes(Qt::Vertical).first()->setRange(0, maxY * 1.05);
}

void TBitRateForm::showEvent(QShowEvent* event) {
    pending_.clear();  // the samples formed so far are dropped, as closing does
    QWidget::showEvent(event);
}

void TBitRateForm::closeEvent(QCloseEvent* event) {
    pending_.clear();
    QWidget::closeEvent(event);
}

void TBitRateForm::Copy1Click() { QApplication::clipboard()->setText(model_.AsText()); }

void TBitRateForm::CopyBitmaptoClipboard1Click() {
    QApplication::clipboard()->setImage(BRChart_->grab().toImage());
}

void TBitRateForm::CopyMetafiletoClipboard1Click() {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(BRChart_->size());
    svg.setViewBox(BRChart_->rect());
    QPainter painter(&svg);
    BRChart_->render(&painter);
    painter.end();
    auto* mime = new QMimeData;
    mime->setData("image/svg+xml", buffer.data());
    QApplication::clipboard()->setMimeData(mime);
}

void TBitRateForm::UndoZoom1Click() { FitAxes(); }
