#pragma once

#include <vector>

// How an interpolation run cuts the view's columns into pieces of work.

// A band of pixel columns, both ends included.
struct TBand {
  int First = 0;
  int Last = 0;
  friend bool operator==(const TBand&, const TBand&) = default;
};

// The columns of a view `width` pixels wide cut into bands of at least 15: with
// L = width - 1 there are L div 15 bands of L div (L div 15) columns, the last one
// taking the remainder up to L. A view narrower than 16 pixels is one band of
// all its columns; a view without columns has none.
std::vector<TBand> PlanBands(int width);
