#pragma once

#include "windows/commands.h"

#include <QIcon>
#include <QPixmap>

// The program's pictures, drawn at run time so that no image files need to be shipped.

// The 16 by 15 toolbar image of a command.
QPixmap toolbarPixmap(Command command);
// One frame of an activity indicator: frame 0 unlit, frame 1 lit.
QPixmap indicatorPixmap(bool transmit, int frame);
// The program icon (About box and window icon).
QIcon programIcon();
