// Bitrate graph window.
#include "ui/Bitrategraph.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QClipboard>
#include <QFrame>
#include <QHeaderView>
#include <QImage>
#include <QLineSeries>
#include <QTableView>

#include <algorithm>

#include "ui/anchors.h"
#include "ui/chart_series.h"
#include "ui/graph_view.h"
#include "ui/grid_view.h"
#include "ui/report_colours.h"
#include "ui/window_placement.h"

namespace {

// The design layout: the chart at the left, the grid beside it, both under an empty tool
// strip.
constexpr int kMargin = 8;
constexpr int kGap = 7;
constexpr int kToolStripHeight = 33;
constexpr int kTop = 48;
constexpr int kChartWidth = 537;
constexpr int kChartHeight = 393;
constexpr int kMinimumHeight = 200;
constexpr QPoint kDesignPosition(297, 175);
constexpr int kDesignHeight = 473;
constexpr int kRowHeight = 21;
constexpr int kGridColumnWidths[BitrateTableModel::Count] = {40, 60};
// The widest cell texts: seconds of a long programme, and kilobits per second up to the
// highest bitrate of any MPEG-2 profile and level (ISO/IEC 13818-2 clause 8, 100 Mbit/s
// for High profile at High level: 97656 Kbps).
const char* const kWidestCells[BitrateTableModel::Count] = {"99999", "99999.99"};
// At most this many steps between the labels of the bitrate axis.
constexpr int kBitrateSteps = 8;
constexpr double kHeadroom = 1.05;  // above the highest value

}  // namespace

int BitrateTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(samples_.size()) + 1;  // and an empty row
}

int BitrateTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count;
}

QVariant BitrateTableModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::BackgroundRole && index.column() == Second) return FixedColumnBackground();
    if (role != Qt::DisplayRole || index.row() >= static_cast<int>(samples_.size())) return {};
    if (index.column() == Second) return QString::number(index.row() + 1);
    return QString::asprintf("%.2f", samples_[static_cast<size_t>(index.row())]);
}

Qt::ItemFlags BitrateTableModel::flags(const QModelIndex& index) const {
    return index.column() == Second ? FixedColumnFlags() : QAbstractTableModel::flags(index);
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

TBitRateForm::TBitRateForm() : QWidget(nullptr, CloseBoxOnly(Qt::Window)) {
    setWindowTitle("BitRateForm");
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setBackgroundBrush(ReportBackground());
    chart->setPlotAreaBackgroundBrush(Qt::white);
    chart->setPlotAreaBackgroundVisible(true);
    series1_ = AddLineSeries(chart, QColor(255, 0, 0));
    // Every point marked by a small filled red square.
    QImage square(5, 5, QImage::Format_ARGB32);
    square.fill(QColor(255, 0, 0));
    series1_->setLightMarker(square);
    series1_->setMarkerSize(5);
    series2_ = AddLineSeries(chart, QColor(0, 128, 0));
    AddGraphAxes(chart, "Bitrate (Kbps)", kBitrateSteps);
    BRChart_ = new GraphView(chart, this, [this] { UndoZoom1Click(); });

    BRGrid_ = new QTableView(this);
    auto* header = new WrappingHeader(BRGrid_);
    BRGrid_->setHorizontalHeader(header);
    BRGrid_->setModel(&model_);
    BRGrid_->verticalHeader()->hide();
    BRGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    BRGrid_->setWordWrap(false);
    BRGrid_->setStyleSheet("QTableView { background-color: rgb(166, 202, 240); }");
    QFont font("Tahoma");
    font.setPointSize(8);
    BRGrid_->setFont(font);
    SetRowHeight(*BRGrid_, kRowHeight);
    int columnsWidth = 0;
    for (int column = 0; column < BitrateTableModel::Count; ++column) {
        int width =
            FittedColumnWidth(*BRGrid_, column, kGridColumnWidths[column], kWidestCells[column]);
        BRGrid_->setColumnWidth(column, width);
        columnsWidth += width;
    }
    header->FitHeight();
    auto* copy = new QAction("Copy", BRGrid_);
    BRGrid_->setContextMenuPolicy(Qt::ActionsContextMenu);
    BRGrid_->addAction(copy);
    connect(copy, &QAction::triggered, this, &TBitRateForm::Copy1Click);

    // The chart and the grid side by side, growing with the window's height; the width
    // is fixed by them.
    int gridWidth = GridWidthFor(*BRGrid_, columnsWidth);
    int gridLeft = kMargin + kChartWidth + kGap;
    QSize design(gridLeft + gridWidth + kMargin, kTop + kChartHeight + kMargin);
    auto* anchors = new Anchors(this, design);
    auto* toolStrip = new QFrame(this);  // stays empty
    anchors->Add(toolStrip, QRect(kMargin, kMargin, design.width() - 2 * kMargin, kToolStripHeight),
                 Anchor::Left | Anchor::Top | Anchor::Right);
    anchors->Add(BRChart_, QRect(kMargin, kTop, kChartWidth, kChartHeight),
                 Anchor::Left | Anchor::Top | Anchor::Bottom);
    anchors->Add(BRGrid_, QRect(gridLeft, kTop, gridWidth, kChartHeight),
                 Anchor::Left | Anchor::Top | Anchor::Bottom);
    setFixedWidth(design.width());
    setMinimumHeight(kMinimumHeight);
    setGeometry(QRect(kDesignPosition, QSize(design.width(), kDesignHeight)));
}

QChart* TBitRateForm::Chart() const { return BRChart_->chart(); }

QChartView* TBitRateForm::ChartView() const { return BRChart_; }

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

// The full extent of both lines, the bitrate axis ending at a label.
void TBitRateForm::FitAxes() {
    double maxX = 1;
    double maxY = 1;
    for (QLineSeries* series : {series1_, series2_}) {
        for (const QPointF& p : series->points()) {
            maxX = std::max(maxX, p.x());
            maxY = std::max(maxY, p.y());
        }
    }
    FitGraphAxes(Chart(), maxX, 0, maxY * kHeadroom, kBitrateSteps);
}

void TBitRateForm::Copy1Click() {
    QString selected = SelectedCellsText(*BRGrid_);
    QApplication::clipboard()->setText(selected.isEmpty() ? model_.AsText() : selected);
}

void TBitRateForm::CopyBitmaptoClipboard1Click() { BRChart_->CopyBitmap(); }

void TBitRateForm::CopyMetafiletoClipboard1Click() { BRChart_->CopySvg(); }

void TBitRateForm::UndoZoom1Click() { FitAxes(); }
