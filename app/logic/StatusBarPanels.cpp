#include "app/logic/StatusBarPanels.h"

#include "model/ColorInterpolate.h"

int PanelAt(std::span<const int> widths, int x) {
  long long right = 0;
  for (std::size_t i = 0; i < widths.size(); ++i) {
    right += widths[i];
    if (x < right) return static_cast<int>(i);
  }
  return static_cast<int>(widths.size()) - 1;
}

TColor GradientColumnColor(TColor shallow, TColor deep, int column, int width) {
  return InterpolateColor(shallow, deep, static_cast<double>(column) / static_cast<double>(width));
}
