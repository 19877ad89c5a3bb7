// What every top-level window of the application does alike: how it is brought to the
// operator, how its stored place is applied, and its title-bar buttons.
#pragma once

#include <Qt>

class QPoint;
class QSize;
class QWidget;

// Shows the window, restores it when minimised, raises it above the other windows and
// gives it the focus: a command that opens a window must also reach one already open
// behind the others.
void BringForward(QWidget& window);

// Sizes the window's inner area and puts the top-left corner of its frame at
// `framePosition`. The window's position (QWidget::pos) reads the frame's corner back,
// so a stored place survives any number of starts under a window manager that adds a
// title bar.
void PlaceWindow(QWidget& window, QSize size, QPoint framePosition);

// Window flags of a window of this type whose title bar has a close box and no
// minimise, maximise or help box.
Qt::WindowFlags CloseBoxOnly(Qt::WindowType type);
