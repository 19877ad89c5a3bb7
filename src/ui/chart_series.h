// What the graph windows draw their lines and axes with.
#pragma once

#include <QChart>
#include <QColor>
#include <QLineSeries>

class QValueAxis;

// A line of the colour, two pixels wide, added to the chart, which owns it.
QLineSeries* AddLineSeries(QChart* chart, const QColor& colour);
// Labels at round values (1, 2 or 5 times a power of ten), from 0, at every range the axis
// takes (fitting, zooming, panning): at most `steps` steps, none below `minimumStep`.
void KeepTicksRound(QValueAxis* axis, int steps, double minimumStep);
// Shows `min` to `max` with its labels at round values; with `endAtLabel` the axis runs on
// to the labels at or beyond both ends.
void SetRoundRange(QValueAxis* axis, double min, double max, int steps, double minimumStep,
                   bool endAtLabel);
