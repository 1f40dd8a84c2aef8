#pragma once

#include <QIcon>

#include "platform/image.h"

namespace platform::qt {

// The status icon: a ring of dots, drawn afresh at each requested pixel size so that it stays
// sharp at every device pixel ratio. Light dots with a thin dark edge read on light and dark
// panels alike. The point size and weight scale the ring and its dots, where 16 points fill the
// icon's box.
QIcon makeDottedCircleIcon(double pointSize, FontWeight weight);

// The status item's icon for its image: the ring for the dotted-circle symbol, else the
// picture in the image's file; empty without one.
QIcon statusItemIcon(const Image* image);

}  // namespace platform::qt
