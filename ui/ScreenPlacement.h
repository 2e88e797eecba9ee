// Where a top-level window goes on its screen: centred in the screen's available area at
// an outer size (the window manager's frame included) never larger than that area, so
// that its title bar and menu are always on the screen.
#pragma once

#include <QSize>

class QWidget;

// Places `window` now and again once the window manager has framed it (its frame is known
// only then). Called when the window is shown.
void PlaceOnScreen(QWidget& window, QSize outer);
