// What the graph windows draw their lines with.
#pragma once

#include <QChart>
#include <QColor>
#include <QLineSeries>

// A line of the colour, two pixels wide, added to the chart, which owns it.
QLineSeries* AddLineSeries(QChart* chart, const QColor& colour);
