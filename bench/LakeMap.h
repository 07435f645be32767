#pragma once

// The synthetic lake on a map of the program's size, as the benchmarks need it:
// the view "Fit to Screen" gives, the interpolation mask and the samples that
// "Interpolate" builds.

#include <algorithm>
#include <cmath>
#include <memory>

#include "tests/support/SyntheticLake.h"
#include "gridding/ShepardInterp.h"
#include "mapview/Projection.h"
#include "model/CommonTypes.h"

namespace lakemap {

// The lake's rectangle centred in a width x height view, with a margin.
inline TViewProjection FitView(const TSyntheticLake& lake, int width, int height) {
  const double margin = 0.04;
  const double spanLon = (lake.East() - lake.West()) * (1 + 2 * margin);
  const double spanLat = (lake.North() - lake.South()) * (1 + 2 * margin);
  TViewProjection view;
  view.Height = height;
  view.Rm = std::min(height / spanLat, static_cast<double>(width / (spanLon * TViewProjection::K)));
  const double shownLon = static_cast<double>(width / (view.Rm * TViewProjection::K));
  const double shownLat = height / view.Rm;
  view.O = (lake.West() + lake.East()) / 2 - shownLon / 2;
  view.S = (lake.South() + lake.North()) / 2 - shownLat / 2;
  return view;
}

// Pixels in the water within half the extrapolation pen's width of a sounding,
// never on the outermost rows and columns: the program's interpolation mask.
inline TBooleanArray BuildMask(const TSyntheticLake& lake, const TViewProjection& view, int width, int height,
                               int extrapolationRadius) {
  TBooleanArray hit(width, height);
  for (const auto& track : lake.Tracks())
    for (const TLakeSounding& s : track) {
      const int x = view.LoToX(s.Longitude), y = view.LaToY(s.Latitude);
      if (hit.Contains(x, y)) hit[x][y] = true;
    }
  const int r = extrapolationRadius / 2;
  TBooleanArray nearTrack(width, height);
  for (int x = 0; x < width; ++x)
    for (int y = 0; y < height; ++y) {
      if (!hit[x][y]) continue;
      for (int dx = -r; dx <= r; ++dx) {
        const int half = static_cast<int>(std::sqrt(static_cast<double>(r * r - dx * dx)));
        if (x + dx < 0 || x + dx >= width) continue;
        bool* column = nearTrack[x + dx];
        for (int yy = std::max(0, y - half); yy <= std::min(height - 1, y + half); ++yy) column[yy] = true;
      }
    }
  TBooleanArray mask(width, height);
  for (int x = 1; x < width - 1; ++x)
    for (int y = 1; y < height - 1; ++y) mask[x][y] = nearTrack[x][y] && lake.InWater(view.XToLo(x), view.YToLa(y));
  return mask;
}

// The samples as "Interpolate" builds them: the shore lines' pixels at depth 0,
// then every sounding.
struct TSamples {
  std::shared_ptr<TPointList> Points = std::make_shared<TPointList>();
  std::shared_ptr<TValueList> Values = std::make_shared<TValueList>();
  std::size_t ShoreCount = 0;
};

inline TSamples BuildSamples(const TSyntheticLake& lake, double metresPerPixel) {
  TSamples samples;
  for (const TLakePosition& p : lake.ShorePositions(metresPerPixel)) {
    samples.Points->push_back({static_cast<float>(p.Longitude), static_cast<float>(p.Latitude)});
    samples.Values->push_back(0.0f);
  }
  samples.ShoreCount = samples.Points->size();
  for (const auto& track : lake.Tracks())
    for (const TLakeSounding& s : track) {
      samples.Points->push_back({static_cast<float>(s.Longitude), static_cast<float>(s.Latitude)});
      samples.Values->push_back(static_cast<float>(s.DepthCm));
    }
  return samples;
}

}  // namespace lakemap
