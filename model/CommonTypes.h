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
    width_ = width > 0 ? width : 0;
    height_ = height > 0 ? height : 0;
    cells_ = std::make_unique<T[]>(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
  }

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  T* operator[](int x) { return cells_.get() + static_cast<std::size_t>(x) * static_cast<std::size_t>(height_); }
  const T* operator[](int x) const {
    return cells_.get() + static_cast<std::size_t>(x) * static_cast<std::size_t>(height_);
  }

  void Fill(const T& value) {
    const std::size_t count = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    for (std::size_t i = 0; i < count; ++i) cells_[i] = value;
  }

private:
  int width_ = 0;
  int height_ = 0;
  std::unique_ptr<T[]> cells_;
};

using TColorArray = TGrid<TColor>;     // the interpolated map's pixel colours
using TDoubleArray = TGrid<double>;    // interpolated depths as fractions of the maximum depth
using TBooleanArray = TGrid<bool>;     // the interpolation mask: True where a pixel is interpolated
