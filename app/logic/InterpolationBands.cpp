#include "app/logic/InterpolationBands.h"

std::vector<TBand> PlanBands(int width) {
  std::vector<TBand> bands;
  if (width <= 0) return bands;
  const int last = width - 1;
  const int count = last / 15;
  if (count == 0) {
    bands.push_back({0, last});
    return bands;
  }
  const int size = last / count;
  for (int k = 1; k <= count; ++k) bands.push_back({size * (k - 1), k == count ? last : size * k - 1});
  return bands;
}
