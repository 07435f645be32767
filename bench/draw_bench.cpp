// Time per redraw of the map view with the shadow map on: 100 000 track points
// in an 800 x 600 view, at the default shadow pen width and at the widest one.
// Prints figures to watch; it asserts nothing.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "mapview/GPXDraw.h"
#include "platform/NumberText.h"

namespace {

// A survey of a small lake: back-and-forth transects with a little wobble, the
// depth rising toward the middle, as an echo sounder records them.
void AddSurvey(TGPX& doc, int points) {
  constexpr int kTransects = 50;
  const int perTransect = points / kTransects;
  auto track = std::make_unique<TGPXtrk>();
  auto segment = std::make_unique<TGPXtrkseg>();
  for (int t = 0; t < kTransects; ++t) {
    for (int i = 0; i < perTransect; ++i) {
      const double along = static_cast<double>(i) / (perTransect - 1);
      const double u = (t % 2 == 0) ? along : 1 - along;
      auto p = std::make_unique<TGPXwpt>();
      p->Longitude = 10.0 + 0.02 * u + 0.0002 * std::sin(i * 0.05);
      p->Latitude = 50.0 + 0.012 * t / (kTransects - 1) + 0.0001 * std::cos(i * 0.03);
      p->HBdepth = 50 + 1400 * std::sin(3.14159 * u) * std::sin(3.14159 * t / (kTransects - 1));
      segment->Add(std::move(p));
    }
  }
  segment->maxdepth = 1500;
  track->Add(std::move(segment));
  doc.trk.Add(std::move(track));
}

}  // namespace

int main() {
  constexpr int kPoints = 100000;
  TGPX doc;
  AddSurvey(doc, kPoints);
  TBitmap surface(800, 600);
  TGPXDraw view;
  view.Canvas = &surface.Canvas();
  view.GPXd = &doc;
  view.ShadowMapEnabled = true;
  view.Options.BackGroundColor = 0xFFFFFF;
  view.Resize(800, 600);
  view.ResetBBox(true, true);

  for (const int width : {30, 999}) {
    view.ShadowMapTrackWidth = width;
    view.Redraw();  // warm-up
    const int rounds = width > 100 ? 3 : 10;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r) view.Redraw();
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("redraw of %d points, shadow pen width %d: %s ms\n", kPoints, width,
                numtext::FormatFixed(elapsed.count() / rounds, 2).c_str());
  }
  return 0;
}
