// Top-level window helpers.
#include "ui/window_placement.h"

#include <QPoint>
#include <QSize>
#include <QWidget>
#include <QWindow>

void BringForward(QWidget& window) {
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

void PlaceWindow(QWidget& window, QSize size, QPoint framePosition) {
    window.resize(size);
    // Once the native window exists, QWidget::move places the inner area, and a window
    // manager then puts the frame above and left of it; the native window's frame
    // position asks for the frame itself to stand there.
    if (window.testAttribute(Qt::WA_WState_Created) && window.windowHandle()) {
        window.windowHandle()->setFramePosition(framePosition);
    } else {
        window.move(framePosition);
    }
}

Qt::WindowFlags CloseBoxOnly(Qt::WindowType type) {
    return type | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint;
}
