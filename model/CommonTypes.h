#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A point in time as a day count since 30 December 1899, the time of day as the
// fraction; 0 means no time.
using TDateTime = double;

// A colour as $00BBGGRR: red in the lowest byte, then green, then blue. Bit 24
// and above carry no colour (a line style uses $1000000 for "none set").
using TColor = std::uint32_t;

inline constexpr std::uint8_t GetRValue(TColor c) { return static_cast<std::uint8_t>(c & 0xFF); }
inline constexpr std::uint8_t GetGValue(TColor c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
inline constexpr std::uint8_t GetBValue(TColor c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }
inline constexpr TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}

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
