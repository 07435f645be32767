#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "gridding/ShepardInterp.h"

// The cell index of TShepardGridInterp and the sample lists it gathers.

// Cell coordinates stay within ±2^30, so a cell's key packs its row and column
// into 64 bits and the division that finds a cell errs by far less than a cell.
inline constexpr double kShepardCellLimit = 1073741824.0;

// Samples in ascending index order, widened to double as the reference widens them.
struct TShepardSampleList {
  std::vector<double> px, py, value;
  std::size_t count = 0;
};

// The samples sorted into cells of a uniform grid a quarter of the cut-off radius
// wide. Cell (column, row) holds the samples with floor(x / size) and
// floor(y / size) equal to cellX0 + column and cellY0 + row.
class TShepardGridIndex {
public:
  // nullptr where the grid cannot hold the samples exactly.
  static std::unique_ptr<const TShepardGridIndex> Build(const TShepardInterp& reference);

  bool Holds(double v) const { return std::fabs(v / size) <= kShepardCellLimit; }

  // Fills out with the samples that may lie within `radius` of a pixel of column
  // x between latitudes yLow and yHigh, ascending by index. Uses the calling
  // thread's scratch memory.
  void Gather(const TShepardInterp& reference, double x, double yLow, double yHigh, double radius,
              TShepardSampleList& out) const;

private:
  // The cells a range of positions can touch, widened by a hundredth of a cell:
  // far more than the rounding of the divisions and of the reference's distance.
  // Ends far beyond the grid (a huge snap radius) are pulled in to where they
  // still lie beyond it.
  static std::int64_t CellNear(double q);
  std::int64_t CellOfLow(double v) const { return CellNear(v / size - 0.01); }
  std::int64_t CellOfHigh(double v) const { return CellNear(v / size + 0.01); }

  double size = 0;
  std::int64_t cellX0 = 0, cellY0 = 0;
  std::int64_t columns = 0, rows = 0;
  // Occupied cells in the order of their key (row << 32 | column), each with its
  // first entry in order; start has one entry more.
  std::vector<std::uint64_t> keys;
  std::vector<std::uint32_t> start;
  std::vector<std::uint32_t> lowest, highest;  // each cell's lowest and highest sample index
  std::vector<std::uint32_t> order;            // sample indices by cell, ascending within each
  TPointList positions;                        // the samples' positions in that order
};

// Each thread's working lists, so that the workers share nothing but the index,
// which they only read.
struct TShepardRunLists {
  TShepardSampleList near;  // within reach of the snap radius
  TShepardSampleList full;  // within reach of the cut-off radius
};
TShepardRunLists& ThisThreadsRunLists();
