#pragma once

#include <span>

#include "model/CommonTypes.h"

// The main window's status bar without the widget: which panel a click hits and
// the colours of the gradient panel.

// The panel under x: the first panel i for which x lies below the sum of the
// widths of panels 0 to i; the last panel when there is none (right of the last
// panel). -1 when there are no panels.
int PanelAt(std::span<const int> widths, int x);

// The colour of column `column` (counted from the panel's left edge) of a
// gradient panel `width` pixels wide: the shallow colour at column 0, then
// toward the deep colour, which the last column, at (width - 1) / width, nearly
// reaches.
TColor GradientColumnColor(TColor shallow, TColor deep, int column, int width);
