// The fixed-pitch font of the text boxes: Courier, 13 pixels, or the system's fixed-pitch
// font where Courier is missing, so that the columns line up.
#pragma once

#include <QFont>

QFont TextFont();
