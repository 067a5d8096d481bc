#pragma once

#include "qvx/core/FormView.h"

class QWidget;

// What both windows need from the window system to be placed by their outer rectangle.
namespace qvx::qt {

// A window manager maps and frames a window in its own time; without one it is at once.
bool waitUntilExposed(QWidget &window);

TwipSize screenSize(const QWidget &window);
// Frame and caption included, as far as the window system has told them.
TwipSize outerSize(const QWidget &window);
void moveOuter(QWidget &window, float left, float top);

} // namespace qvx::qt
