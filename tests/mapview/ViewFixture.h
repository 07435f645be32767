#pragma once

#include <initializer_list>
#include <memory>
#include <set>

#include "mapview/GPXDraw.h"
#include "tests/support/TrackBuilder.h"

// A document, a surface of the view's size and a view over both, with helpers to
// place points at chosen pixels.
struct ViewFixture {
  static constexpr TColor kWhite = 0xFFFFFF;

  TGPX doc;
  TBitmap surface;
  TGPXDraw view;

  // An 800 x 600 view of the area O 10, E 11, S 50, N 51 (Rm 600).
  explicit ViewFixture(int width = 800, int height = 600) {
    surface.SetSize(width, height);
    view.Canvas = &surface.Canvas();
    view.GPXd = &doc;
    view.Resize(width, height);
    SetArea(10, 11, 50, 51);
  }

  void SetArea(double o, double e, double s, double n) {
    view.BBox.O = o;
    view.BBox.E = e;
    view.BBox.S = s;
    view.BBox.N = n;
    view.BBox.Complete = true;
    view.CalcRm(false);
  }

  // The position shown at the centre of pixel (x, y).
  std::unique_ptr<TGPXwpt> AtPixel(int x, int y, double depth = 0) const {
    return MakePoint(view.YToLa(y), view.XToLo(x), depth);
  }

  struct PixelPoint {
    int x, y;
    double depth;
  };
  // A new track of one segment through the given pixels.
  TGPXtrkseg* AddSegment(std::initializer_list<PixelPoint> points, int maxdepth = 1500) {
    TTrackPoints positions;
    for (const PixelPoint& p : points) positions.push_back({view.YToLa(p.y), view.XToLo(p.x), p.depth});
    TGPXtrkseg& segment = AddTrack(doc, positions);
    segment.maxdepth = maxdepth;
    segment.SetEnabled(true);
    return &segment;
  }

  static std::set<TColor> ColoursOf(const TBitmap& bmp) {
    std::set<TColor> colours;
    for (int y = 0; y < bmp.Height(); ++y)
      for (int x = 0; x < bmp.Width(); ++x) colours.insert(bmp.Pixel(x, y));
    return colours;
  }
};
