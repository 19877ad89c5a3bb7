// The colours of the report: its sky-blue background and the shades of its red, green
// and yellow lines. Each shade keeps its colour's name and stands out at least 3:1 from
// the sky blue on screen and from the white of a printed page, so that a warning line
// stays legible in both.
#pragma once

#include <QColor>

#include "report/report_sink.h"

// RGB 166, 202, 240.
QColor ReportBackground();
QColor ReportColour(LineColour colour);
// The contrast ratio of two colours by their relative luminance (WCAG 2), 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b);
