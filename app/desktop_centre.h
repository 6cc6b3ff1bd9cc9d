// Places a window in the middle of the desktop's work area (the primary screen without
// panels), frame included where the frame is already known.
#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace varnix {

inline void CentreOnDesktop(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize frame = window->frameGeometry().size();
        window->move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
}

}  // namespace varnix
