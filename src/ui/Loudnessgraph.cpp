// Loudness graph window.
#include "ui/Loudnessgraph.h"

#include <QAreaSeries>
#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "reference/reference_profile.h"
#include "ui/chart_series.h"
#include "ui/graph_view.h"
#include "ui/report_colours.h"
#include "ui/window_placement.h"

namespace {

constexpr QSize kDesignSize(640, 420);
constexpr int kMargin = 8;
// Silence and anything quieter are drawn at the absolute gate.
constexpr double kFloorLufs = kAbsoluteGateLufs;
constexpr double kMarginLu = 3;    // above and below what is drawn
constexpr int kLoudnessSteps = 8;  // at most, between the labels of the loudness axis

double Drawn(double lufs) { return std::isfinite(lufs) ? std::max(lufs, kFloorLufs) : kFloorLufs; }

QLineSeries* AddNamedLine(QChart* chart, const QColor& colour, const QString& name) {
    QLineSeries* series = AddLineSeries(chart, colour);
    series->setName(name);
    return series;
}

}  // namespace

TLoudnessForm::TLoudnessForm() : QWidget(nullptr, CloseBoxOnly(Qt::Window)) {
    setWindowTitle("LoudnessForm");
    auto* chart = new QChart;
    chart->setBackgroundBrush(ReportBackground());
    chart->setPlotAreaBackgroundBrush(Qt::white);
    chart->setPlotAreaBackgroundVisible(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
    // The band first, so that the curves are drawn over it.
    bandTop_ = new QLineSeries(chart);
    bandBottom_ = new QLineSeries(chart);
    band_ = new QAreaSeries(bandTop_, bandBottom_);
    band_->setName("Tolerance");
    band_->setBrush(QColor(0, 160, 0, 48));
    band_->setPen(Qt::NoPen);
    chart->addSeries(band_);
    target_ = AddNamedLine(chart, QColor(0, 128, 0), "Target");
    QPen dashed = target_->pen();
    dashed.setStyle(Qt::DashLine);
    target_->setPen(dashed);
    momentary_ = AddNamedLine(chart, QColor(120, 170, 255), "Momentary (400 ms)");
    shortTerm_ = AddNamedLine(chart, QColor(0, 0, 160), "Short-term (3 s)");
    AddGraphAxes(chart, "Loudness (LUFS)", kLoudnessSteps);
    view_ = new GraphView(chart, this, [this] { UndoZoom1Click(); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(view_);
    resize(kDesignSize);
}

QChart* TLoudnessForm::Chart() const { return view_->chart(); }

void TLoudnessForm::InitLoudnessGraph() {
    pending_.clear();
    for (QLineSeries* series : {momentary_, shortTerm_, target_, bandTop_, bandBottom_}) {
        series->clear();
    }
}

void TLoudnessForm::AddPoint(const LoudnessPoint& point) { pending_.push_back(point); }

void TLoudnessForm::DrawGraphic(double targetLufs, double toleranceLu) {
    QList<QPointF> momentary;
    QList<QPointF> shortTerm;
    double end = 1;
    for (const LoudnessPoint& p : pending_) {
        momentary << QPointF(p.seconds, Drawn(p.momentaryLufs));
        shortTerm << QPointF(p.seconds, Drawn(p.shortTermLufs));
        end = std::max(end, p.seconds);
    }
    pending_.clear();
    momentary_->replace(momentary);
    shortTerm_->replace(shortTerm);
    bool hasTarget = std::isfinite(targetLufs);
    bool hasBand = hasTarget && std::isfinite(toleranceLu);
    target_->replace(hasTarget ? QList<QPointF>{{0, targetLufs}, {end, targetLufs}}
                               : QList<QPointF>{});
    double top = targetLufs + toleranceLu;
    double bottom = targetLufs - toleranceLu;
    bandTop_->replace(hasBand ? QList<QPointF>{{0, top}, {end, top}} : QList<QPointF>{});
    bandBottom_->replace(hasBand ? QList<QPointF>{{0, bottom}, {end, bottom}} : QList<QPointF>{});
    // A series without points would still show in the legend.
    target_->setVisible(hasTarget);
    band_->setVisible(hasBand);
    FitAxes();
}

// Everything drawn, between labels at round values.
void TLoudnessForm::FitAxes() {
    double end = 1;
    double low = HUGE_VAL;
    double high = -HUGE_VAL;
    for (QLineSeries* series : {momentary_, shortTerm_, target_, bandTop_, bandBottom_}) {
        for (const QPointF& p : series->points()) {
            end = std::max(end, p.x());
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        }
    }
    if (high < low) {  // nothing drawn
        low = kFloorLufs;
        high = 0;
    }
    FitGraphAxes(Chart(), end, std::max(low - kMarginLu, kFloorLufs), high + kMarginLu,
                 kLoudnessSteps);
}

void TLoudnessForm::UndoZoom1Click() { FitAxes(); }
