// Report colours.
#include "ui/report_colours.h"

#include <algorithm>
#include <cmath>

QColor ReportBackground() { return QColor(166, 202, 240); }

// Pure red (2.4:1 on sky blue) and pure yellow (1.6:1, and 1.1:1 on paper) were too pale;
// these darker shades keep their hue.
QColor ReportColour(LineColour colour) {
    switch (colour) {
        case LineColour::Red:
            return QColor(200, 0, 0);
        case LineColour::Green:
            return QColor(0, 128, 0);
        case LineColour::Yellow:
            return QColor(120, 100, 0);
        case LineColour::Default:
            break;
    }
    return QColor(0, 0, 0);
}

namespace {

// Relative luminance of an sRGB colour (IEC 61966-2-1 transfer function).
double Luminance(const QColor& colour) {
    auto linear = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    constexpr double kFlare = 0.05;
    double la = Luminance(a);
    double lb = Luminance(b);
    return (std::max(la, lb) + kFlare) / (std::min(la, lb) + kFlare);
}
