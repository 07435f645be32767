#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/Color.h"

// A point in time as a day count since 30 December 1899, the time of day as the
// fraction; 0 means no time.
using TDateTime = double;


// A two-dimensional grid the size of the map view, indexed [column][row], that is
// grid[x][y] in pixels. Each column is contiguous, so workers that own disjoint
// columns can write at the same time without touching each other's memory.
template <class T>
class TGrid {
public:
  TGrid() = default;
  TGrid(int width, int height) { SetLength(width, height); }

  // Sizes the grid to width columns of height rows, every cell value-initialised
  // (0, black, False); SetLength(0, 0) empties it.
  void SetLength(int width, int height) {
    fWidth = width > 0 ? width : 0;
    fHeight = height > 0 ? height : 0;
    fCells = std::make_unique<T[]>(static_cast<std::size_t>(fWidth) * static_cast<std::size_t>(fHeight));
  }

  int Width() const { return fWidth; }
  int Height() const { return fHeight; }
  bool Empty() const { return fWidth == 0 || fHeight == 0; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < fWidth && y < fHeight; }

  T* operator[](int x) { return fCells.get() + static_cast<std::size_t>(x) * static_cast<std::size_t>(fHeight); }
  const T* operator[](int x) const {
    return fCells.get() + static_cast<std::size_t>(x) * static_cast<std::size_t>(fHeight);
  }

  void Fill(const T& value) {
    const std::size_t count = static_cast<std::size_t>(fWidth) * static_cast<std::size_t>(fHeight);
    for (std::size_t i = 0; i < count; ++i) fCells[i] = value;
  }

private:
  int fWidth = 0;
  int fHeight = 0;
  std::unique_ptr<T[]> fCells;
};

using TColorArray = TGrid<TColor>;     // the interpolated map's pixel colours
using TDoubleArray = TGrid<double>;    // interpolated depths as fractions of the maximum depth
using TBooleanArray = TGrid<bool>;     // the interpolation mask: True where a pixel is interpolated
