#include "gridding/ShepardGridInterpIndex.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Cells are a quarter of the cut-off radius wide: a run then gathers about 2.25
// radii of width for the 2 it needs.
constexpr double kCellsPerRadius = 4.0;

struct TSpan {
  std::uint32_t first, last, cell;
};

// Each thread's working memory.
struct alignas(64) TScratch {
  // One bit per sample index: marking the gathered samples and reading the bits
  // back in order sorts them in time linear in their number. All zero between runs.
  std::vector<std::uint64_t> marks;
  std::vector<TSpan> spans;
  TShepardRunLists lists;
};

thread_local TScratch scratch;

// floor(q) for |q| within the cell limit, without a call into the maths library.
inline std::int64_t Floor(double q) {
  const auto truncated = static_cast<std::int64_t>(q);
  return truncated > q ? truncated - 1 : truncated;
}

// Within reach of a pixel of column x between latitudes yLow and yHigh: the
// margin of 1e-9 dwarfs the half ulp by which the reference's rounded distance
// can fall below the true one.
inline bool WithinReach(double px, double py, double x, double yLow, double yHigh, double reachSquared) {
  const double gx = px - x;
  const double gy = py < yLow ? yLow - py : (py > yHigh ? py - yHigh : 0.0);
  return gx * gx + gy * gy <= reachSquared;
}

inline double ReachSquared(double radius) {
  const double reach = radius * (1 + 1e-9);
  return reach * reach;
}

}  // namespace

TShepardRunLists& ThisThreadsRunLists() { return scratch.lists; }

std::int64_t TShepardGridIndex::CellNear(double q) {
  return Floor(std::clamp(q, -4 * kShepardCellLimit, 4 * kShepardCellLimit));
}

std::unique_ptr<const TShepardGridIndex> TShepardGridIndex::Build(const TShepardInterp& reference) {
  const double maxR = reference.CutOffRadius();
  // A radius outside this range cannot be a map's; the reference handles it.
  if (!(maxR >= 1e-100 && maxR <= 1e100)) return nullptr;
  auto index = std::unique_ptr<TShepardGridIndex>(new TShepardGridIndex());
  index->size = maxR / kCellsPerRadius;

  const TPointList& points = reference.Points();
  const int n = reference.SampleCount();
  const auto cellOf = [&](int i, std::int64_t& column, std::int64_t& row) {
    const double qx = static_cast<double>(points[i][0]) / index->size;
    const double qy = static_cast<double>(points[i][1]) / index->size;
    if (!(std::fabs(qx) <= kShepardCellLimit && std::fabs(qy) <= kShepardCellLimit)) return false;  // also NaN
    column = Floor(qx);
    row = Floor(qy);
    return true;
  };
  // Each sample's cell once; the keys count from the lowest column and row.
  std::vector<std::uint64_t> key(n);
  std::int64_t xLow = 0, xHigh = -1, yLow = 0, yHigh = -1;
  for (int i = 0; i < n; ++i) {
    std::int64_t column = 0, row = 0;
    if (!cellOf(i, column, row)) return nullptr;
    if (i == 0) {
      xLow = xHigh = column;
      yLow = yHigh = row;
    }
    xLow = std::min(xLow, column);
    xHigh = std::max(xHigh, column);
    yLow = std::min(yLow, row);
    yHigh = std::max(yHigh, row);
    // Both within the cell limit, so each fits 32 bits with its sign.
    key[i] = static_cast<std::uint64_t>(static_cast<std::uint32_t>(row)) << 32 | static_cast<std::uint32_t>(column);
  }
  index->cellX0 = xLow;
  index->cellY0 = yLow;
  index->columns = xHigh - xLow + 1;
  index->rows = yHigh - yLow + 1;
  for (std::uint64_t& k : key) {
    const auto row = static_cast<std::int32_t>(k >> 32), column = static_cast<std::int32_t>(k & 0xFFFFFFFFu);
    k = static_cast<std::uint64_t>(row - yLow) << 32 | static_cast<std::uint64_t>(column - xLow);
  }

  // Sorted by cell, and within a cell by index: by counting where the cells are
  // few enough to count them all (a map's samples are), else by sorting.
  std::vector<std::uint32_t>& order = index->order;
  order.resize(n);
  const auto cells = static_cast<std::uint64_t>(index->columns) * static_cast<std::uint64_t>(index->rows);
  if (cells <= 4 * static_cast<std::uint64_t>(n) + 4096) {
    const auto dense = [&](std::uint64_t k) {
      return static_cast<std::size_t>((k >> 32) * static_cast<std::uint64_t>(index->columns) + (k & 0xFFFFFFFFu));
    };
    std::vector<std::uint32_t> next(cells + 1, 0);
    for (int i = 0; i < n; ++i) ++next[dense(key[i]) + 1];
    for (std::size_t c = 1; c <= cells; ++c) next[c] += next[c - 1];
    for (int i = 0; i < n; ++i) order[next[dense(key[i])]++] = static_cast<std::uint32_t>(i);
  } else {
    for (int i = 0; i < n; ++i) order[i] = static_cast<std::uint32_t>(i);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
      return key[a] < key[b] || (key[a] == key[b] && a < b);
    });
  }

  index->positions.resize(n);
  for (int k = 0; k < n; ++k) {
    const std::uint32_t i = order[k];
    index->positions[k] = points[i];
    if (k == 0 || key[i] != key[order[k - 1]]) {
      index->keys.push_back(key[i]);
      index->start.push_back(static_cast<std::uint32_t>(k));
      index->lowest.push_back(i);  // a cell's first sample has its lowest index
      index->highest.push_back(i);
    }
    index->highest.back() = i;
  }
  index->start.push_back(static_cast<std::uint32_t>(n));
  return index;
}

void TShepardGridIndex::Gather(const TShepardInterp& reference, double x, double yLow, double yHigh,
                                        double radius, TShepardSampleList& out) const {
  TScratch& s = scratch;
  out.count = 0;
  if (!(radius > 0) || keys.empty()) return;
  const std::int64_t columnLow = std::max<std::int64_t>(CellOfLow(x - radius) - cellX0, 0);
  const std::int64_t columnHigh = std::min<std::int64_t>(CellOfHigh(x + radius) - cellX0, columns - 1);
  const std::int64_t rowLow = std::max<std::int64_t>(CellOfLow(yLow - radius) - cellY0, 0);
  const std::int64_t rowHigh = std::min<std::int64_t>(CellOfHigh(yHigh + radius) - cellY0, rows - 1);

  // The occupied cells of the range.
  s.spans.clear();
  std::size_t most = 0;
  for (std::int64_t row = rowLow; row <= rowHigh && columnLow <= columnHigh; ++row) {
    const std::uint64_t keyLow = static_cast<std::uint64_t>(row) << 32 | static_cast<std::uint64_t>(columnLow);
    const std::uint64_t keyHigh = static_cast<std::uint64_t>(row) << 32 | static_cast<std::uint64_t>(columnHigh);
    for (auto cell = std::lower_bound(keys.begin(), keys.end(), keyLow); cell != keys.end() && *cell <= keyHigh; ++cell) {
      const auto k = static_cast<std::uint32_t>(cell - keys.begin());
      s.spans.push_back({start[k], start[k + 1], k});
      most += start[k + 1] - start[k];
    }
  }
  if (s.spans.empty()) return;
  // Everything that can throw happens before a bit is set, so the marks stay clean.
  const std::size_t words = (static_cast<std::size_t>(reference.SampleCount()) + 63) / 64;
  if (s.marks.size() < words) s.marks.resize(words, 0);
  if (out.px.size() < most) {
    out.px.resize(most);
    out.py.resize(most);
    out.value.resize(most);
  }

  // Mark what lies within reach of the run's stretch of the column. A cell's
  // indices ascend, so the bits of one word are collected in a register and
  // written once; and no branch, as which samples pass follows no pattern.
  const double reachSquared = ReachSquared(radius);
  std::uint64_t* marks = s.marks.data();
  std::uint32_t lowestIndex = UINT32_MAX, highestIndex = 0;
  for (const TSpan& span : s.spans) {
    lowestIndex = std::min(lowestIndex, lowest[span.cell]);
    highestIndex = std::max(highestIndex, highest[span.cell]);
    std::uint32_t word = order[span.first] >> 6;
    std::uint64_t bits = 0;
    for (std::uint32_t k = span.first; k < span.last; ++k) {
      const bool within = WithinReach(positions[k][0], positions[k][1], x, yLow, yHigh, reachSquared);
      const std::uint32_t i = order[k];
      if (i >> 6 != word) {
        marks[word] |= bits;
        word = i >> 6;
        bits = 0;
      }
      bits |= static_cast<std::uint64_t>(within) << (i & 63);
    }
    marks[word] |= bits;
  }

  // Read the marks back in index order, clearing them as they go.
  const TPointList& points = reference.Points();
  const TValueList& values = reference.Values();
  double* listX = out.px.data();
  double* listY = out.py.data();
  double* listValue = out.value.data();
  std::size_t count = 0;
  for (std::size_t w = lowestIndex >> 6; w <= (highestIndex >> 6); ++w) {
    std::uint64_t word = marks[w];
    if (word == 0) continue;
    marks[w] = 0;
    do {
      const std::size_t i = w * 64 + static_cast<std::size_t>(__builtin_ctzll(word));
      word &= word - 1;
      listX[count] = points[i][0];
      listY[count] = points[i][1];
      listValue[count] = values[i];
      ++count;
    } while (word != 0);
  }
  out.count = count;
}
