// Graph lines and axes.
#include "ui/chart_series.h"

#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// At most this many steps between the labels of the time axis, whole seconds apart at least.
constexpr int kTimeSteps = 10;
constexpr double kMinimumTimeStep = 1;

// The smallest step of 1, 2 or 5 times a power of ten that cuts `span` into at most
// `steps` parts.
double RoundStep(double span, int steps) {
    if (!(span > 0)) return 1;
    double raw = span / steps;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double multiple : {1.0, 2.0, 5.0}) {
        if (multiple * power >= raw) return multiple * power;
    }
    return 10 * power;
}

// The step of an axis's labels for its range.
double LabelStep(double min, double max, int steps, double minimumStep) {
    return std::max(minimumStep, RoundStep(max - min, steps));
}

void SetLabelStep(QValueAxis* axis, double step) {
    axis->setTickInterval(step);
    axis->setLabelFormat(step >= 1 ? "%.0f" : "%g");
}

// The step follows a range change once the chart has taken it: changing it while the axis
// lays out its labels breaks their layout.
void KeepTicksRound(QValueAxis* axis, int steps, double minimumStep) {
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    SetLabelStep(axis, LabelStep(axis->min(), axis->max(), steps, minimumStep));
    QObject::connect(
        axis, &QValueAxis::rangeChanged, axis,
        [axis, steps, minimumStep](double min, double max) {
            SetLabelStep(axis, LabelStep(min, max, steps, minimumStep));
        },
        Qt::QueuedConnection);
}

QValueAxis* AxisOf(QChart* chart, Qt::Orientation orientation) {
    return qobject_cast<QValueAxis*>(chart->axes(orientation).first());
}

}  // namespace

QLineSeries* AddLineSeries(QChart* chart, const QColor& colour) {
    auto* series = new QLineSeries;
    QPen pen(colour);
    pen.setWidth(2);
    series->setPen(pen);
    chart->addSeries(series);
    return series;
}

void AddGraphAxes(QChart* chart, const QString& valueTitle, int valueSteps) {
    auto* time = new QValueAxis;
    time->setTitleText("Time (sec.)");
    auto* value = new QValueAxis;
    value->setTitleText(valueTitle);
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(value, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(time);
        series->attachAxis(value);
    }
    KeepTicksRound(time, kTimeSteps, kMinimumTimeStep);
    KeepTicksRound(value, valueSteps, 0);
}

void FitGraphAxes(QChart* chart, double endSeconds, double min, double max, int valueSteps) {
    chart->zoomReset();
    QValueAxis* time = AxisOf(chart, Qt::Horizontal);
    SetLabelStep(time, LabelStep(0, endSeconds, kTimeSteps, kMinimumTimeStep));
    time->setRange(0, endSeconds);
    QValueAxis* value = AxisOf(chart, Qt::Vertical);
    double step = LabelStep(min, max, valueSteps, 0);
    SetLabelStep(value, step);
    value->setRange(std::floor(min / step) * step, std::ceil(max / step) * step);
}
