// Graph lines and axes.
#include "ui/chart_series.h"

#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

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

}  // namespace

QLineSeries* AddLineSeries(QChart* chart, const QColor& colour) {
    auto* series = new QLineSeries;
    QPen pen(colour);
    pen.setWidth(2);
    series->setPen(pen);
    chart->addSeries(series);
    return series;
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

void SetRoundRange(QValueAxis* axis, double min, double max, int steps, double minimumStep,
                   bool endAtLabel) {
    double step = LabelStep(min, max, steps, minimumStep);
    if (endAtLabel) {
        min = std::floor(min / step) * step;
        max = std::ceil(max / step) * step;
    }
    SetLabelStep(axis, step);
    axis->setRange(min, max);
}
