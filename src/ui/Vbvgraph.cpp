// VBV buffer window.
#include "ui/Vbvgraph.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QVBoxLayout>

#include <algorithm>

#include "report/report_format.h"
#include "ui/chart_series.h"
#include "ui/report_colours.h"
#include "ui/window_placement.h"

namespace {

constexpr QSize kDesignSize(640, 420);
constexpr int kMargin = 8;
constexpr double kHeadroom = 1.05;  // above the buffer line
// At most this many steps between the labels of the occupancy axis.
constexpr int kOccupancySteps = 8;

}  // namespace

TVbvForm::TVbvForm() : QWidget(nullptr, CloseBoxOnly(Qt::Window)) {
    setWindowTitle("VbvForm");
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setBackgroundBrush(ReportBackground());
    occupancy_ = AddLineSeries(chart, QColor(0, 0, 192));
    bufferSize_ = AddLineSeries(chart, QColor(192, 0, 0));
    AddGraphAxes(chart, "VBV occupancy (Kbit)", kOccupancySteps);
    chartView_ = new QChartView(chart, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(chartView_);
    resize(kDesignSize);
}

QChart* TVbvForm::Chart() const { return chartView_->chart(); }

void TVbvForm::InitVbvGraph() {
    pending_.clear();
    occupancy_->clear();
    bufferSize_->clear();
}

void TVbvForm::AddSample(const VbvSample& sample) { pending_.push_back(sample); }

// Each removal is a drop at one instant: the occupancy before it, then after it.
void TVbvForm::DrawGraphic(double bufferBits) {
    QList<QPointF> line;
    double end = 0;
    double top = bufferBits;
    for (const VbvSample& s : pending_) {
        line << QPointF(s.seconds, s.beforeBits / kBitsPerKbit)
             << QPointF(s.seconds, s.afterBits / kBitsPerKbit);
        end = std::max(end, s.seconds);
        top = std::max(top, s.beforeBits);
    }
    pending_.clear();
    occupancy_->replace(line);
    double bufferKbit = bufferBits / kBitsPerKbit;
    bufferSize_->replace({QPointF(0, bufferKbit), QPointF(end, bufferKbit)});
    FitGraphAxes(Chart(), std::max(end, 1.0), 0, top * kHeadroom / kBitsPerKbit, kOccupancySteps);
}
