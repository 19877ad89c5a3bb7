// Graph lines.
#include "ui/chart_series.h"

#include <QPen>

QLineSeries* AddLineSeries(QChart* chart, const QColor& colour) {
    auto* series = new QLineSeries;
    QPen pen(colour);
    pen.setWidth(2);
    series->setPen(pen);
    chart->addSeries(series);
    return series;
}
