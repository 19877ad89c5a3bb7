// What the graph windows draw their lines and axes with.
#pragma once

#include <QChart>
#include <QColor>
#include <QLineSeries>

// A line of the colour, two pixels wide, added to the chart, which owns it.
QLineSeries* AddLineSeries(QChart* chart, const QColor& colour);
// The axes of a graph over time: seconds along the bottom and `valueTitle` up the left,
// each labelled at round values (1, 2 or 5 times a power of ten, at most `valueSteps`
// steps up the left) at every range it takes (fitting, zooming, panning); every series the
// chart has is drawn against them.
void AddGraphAxes(QChart* chart, const QString& valueTitle, int valueSteps);
// Shows 0 to `endSeconds` along the bottom, and up the left from the label at or below
// `min` to the one at or above `max`.
void FitGraphAxes(QChart* chart, double endSeconds, double min, double max, int valueSteps);
