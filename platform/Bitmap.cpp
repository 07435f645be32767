#include "platform/Bitmap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/Canvas.h"
#include "platform/SafeFile.h"

namespace {

constexpr std::uint32_t kWhitePixel = TBitmap::ColorToPixel(0xFFFFFF);

// Largest picture we agree to load: a damaged header must not make us allocate
// gigabytes.
constexpr std::int64_t kMaxLoadPixels = std::int64_t{1} << 28;
constexpr long kMaxFileBytes = 1L << 30;

// Index of the source pixel that destination pixel `offset` of a span of
// `destLength` takes when `srcLength` source pixels are spread over it: the one
// under the destination pixel's centre. For equal lengths it is `offset` itself.
std::int64_t NearestSource(std::int64_t offset, std::int64_t destLength, std::int64_t srcLength) {
  const __int128 num = (static_cast<__int128>(offset) * 2 + 1) * srcLength;
  return static_cast<std::int64_t>(num / (static_cast<__int128>(destLength) * 2));
}

std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t ReadI32(const std::uint8_t* p) { return static_cast<std::int32_t>(ReadU32(p)); }

void PutU16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One channel of a bit-field pixel, scaled to 0..255.
struct ChannelMask {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;

  explicit ChannelMask(std::uint32_t m) : mask(m) {
    if (mask == 0) return;
    while (((mask >> shift) & 1u) == 0) ++shift;
    max = mask >> shift;
  }
  std::uint32_t Extract(std::uint32_t value) const {
    if (max == 0) return 0;
    const std::uint64_t v = (value & mask) >> shift;
    return static_cast<std::uint32_t>((v * 255 + max / 2) / max);
  }
};

bool ReadWholeFile(const std::string& fileName, std::vector<std::uint8_t>& data) {
  std::FILE* f = std::fopen(fileName.c_str(), "rb");
  if (!f) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  ok = ok && size >= 0 && size <= kMaxFileBytes && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    data.resize(static_cast<std::size_t>(size));
    ok = size == 0 || std::fread(data.data(), 1, data.size(), f) == data.size();
  }
  std::fclose(f);
  return ok;
}

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

TBitmap::~TBitmap() = default;

TBitmap::TBitmap(const TBitmap& other)
    : fWidth(other.fWidth), fHeight(other.fHeight), fPixels(other.fPixels) {}

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this != &other) {
    fWidth = other.fWidth;
    fHeight = other.fHeight;
    fPixels = other.fPixels;
    Touch();
  }
  return *this;
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == fWidth && height == fHeight) return;
  std::vector<std::uint32_t> resized(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                     kWhitePixel);
  const int keepW = std::min(width, fWidth);
  const int keepH = std::min(height, fHeight);
  for (int y = 0; y < keepH; ++y) {
    std::copy_n(fPixels.begin() + static_cast<std::ptrdiff_t>(y) * fWidth, keepW,
                resized.begin() + static_cast<std::ptrdiff_t>(y) * width);
  }
  fPixels = std::move(resized);
  Touch();
  fWidth = width;
  fHeight = height;
}

TColor TBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= fWidth || y >= fHeight) return kInvalidColor;
  return PixelToColor(fPixels[static_cast<std::size_t>(y) * fWidth + x]);
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= fWidth || y >= fHeight) return;
  Touch();
  fPixels[static_cast<std::size_t>(y) * fWidth + x] = ColorToPixel(color);
}

std::uint8_t* TBitmap::ScanLine(int y) {
  Touch();
  return reinterpret_cast<std::uint8_t*>(fPixels.data() + static_cast<std::size_t>(y) * fWidth);
}

const std::uint8_t* TBitmap::ScanLine(int y) const {
  return reinterpret_cast<const std::uint8_t*>(fPixels.data() + static_cast<std::size_t>(y) * fWidth);
}

std::uint8_t* TBitmap::Bits() {
  Touch();
  return fPixels.empty() ? nullptr : ScanLine(0);
}
const std::uint8_t* TBitmap::Bits() const { return fPixels.empty() ? nullptr : ScanLine(0); }

void TBitmap::Fill(TColor color) {
  Touch();
  std::fill(fPixels.begin(), fPixels.end(), ColorToPixel(color));
}

void TBitmap::FillRect(const TRect& rect, TColor color) {
  const std::int64_t x0 = std::max<std::int64_t>(rect.Left, 0);
  const std::int64_t x1 = std::min<std::int64_t>(rect.Right, fWidth);
  const std::int64_t y0 = std::max<std::int64_t>(rect.Top, 0);
  const std::int64_t y1 = std::min<std::int64_t>(rect.Bottom, fHeight);
  if (x0 >= x1 || y0 >= y1) return;
  Touch();
  const std::uint32_t p = ColorToPixel(color);
  for (std::int64_t y = y0; y < y1; ++y) {
    auto row = fPixels.begin() + static_cast<std::ptrdiff_t>(y * fWidth);
    std::fill(row + x0, row + x1, p);
  }
}

namespace {

// Copies srcRect of src into destRect of dest, nearest neighbour, optionally
// leaving out one colour. src and dest are distinct bitmaps.
void Blit(TBitmap& dest, const TRect& destRect, const TBitmap& src, const TRect& srcRect, bool transparent,
          TColor transparentColor) {
  const std::int64_t dw = destRect.Width(), dh = destRect.Height();
  const std::int64_t sw = srcRect.Width(), sh = srcRect.Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  const std::int64_t x0 = std::max<std::int64_t>(destRect.Left, 0);
  const std::int64_t x1 = std::min<std::int64_t>(destRect.Right, dest.Width());
  const std::int64_t y0 = std::max<std::int64_t>(destRect.Top, 0);
  const std::int64_t y1 = std::min<std::int64_t>(destRect.Bottom, dest.Height());
  if (x0 >= x1 || y0 >= y1) return;

  std::vector<std::int64_t> srcColumn(static_cast<std::size_t>(x1 - x0));
  for (std::int64_t x = x0; x < x1; ++x) {
    srcColumn[static_cast<std::size_t>(x - x0)] = srcRect.Left + NearestSource(x - destRect.Left, dw, sw);
  }
  const std::uint32_t skip = TBitmap::ColorToPixel(transparentColor);
  for (std::int64_t y = y0; y < y1; ++y) {
    const std::int64_t sy = srcRect.Top + NearestSource(y - destRect.Top, dh, sh);
    if (sy < 0 || sy >= src.Height()) continue;
    const auto* srcRow = reinterpret_cast<const std::uint32_t*>(src.ScanLine(static_cast<int>(sy)));
    auto* destRow = reinterpret_cast<std::uint32_t*>(dest.ScanLine(static_cast<int>(y)));
    for (std::int64_t x = x0; x < x1; ++x) {
      const std::int64_t sx = srcColumn[static_cast<std::size_t>(x - x0)];
      if (sx < 0 || sx >= src.Width()) continue;
      const std::uint32_t p = srcRow[sx];
      if (transparent && p == skip) continue;
      destRow[x] = p;
    }
  }
}

}  // namespace

void TBitmap::CopyRect(const TRect& destRect, const TBitmap& src, const TRect& srcRect) {
  if (&src == this) {
    const TBitmap snapshot(*this);
    Blit(*this, destRect, snapshot, srcRect, false, 0);
  } else {
    Blit(*this, destRect, src, srcRect, false, 0);
  }
}

void TBitmap::Draw(std::int64_t x, std::int64_t y, const TBitmap& src) {
  CopyRect({x, y, x + src.Width(), y + src.Height()}, src, {0, 0, src.Width(), src.Height()});
}

void TBitmap::DrawTransparent(std::int64_t x, std::int64_t y, const TBitmap& src, TColor transparent) {
  const TRect destRect{x, y, x + src.Width(), y + src.Height()};
  const TRect srcRect{0, 0, src.Width(), src.Height()};
  if (&src == this) {
    const TBitmap snapshot(*this);
    Blit(*this, destRect, snapshot, srcRect, true, transparent);
  } else {
    Blit(*this, destRect, src, srcRect, true, transparent);
  }
}

void TBitmap::StretchDraw(const TRect& destRect, const TBitmap& src) {
  CopyRect(destRect, src, {0, 0, src.Width(), src.Height()});
}

bool TBitmap::SaveToFile(const std::string& fileName) const {
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(fWidth) * 3 + 3) & ~3u;
  const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(fHeight);
  std::uint8_t header[54] = {};
  header[0] = 'B';
  header[1] = 'M';
  PutU32(header + 2, 54 + imageBytes);
  PutU32(header + 10, 54);
  PutU32(header + 14, 40);
  PutU32(header + 18, static_cast<std::uint32_t>(fWidth));
  PutU32(header + 22, static_cast<std::uint32_t>(fHeight));  // positive: bottom-up
  PutU16(header + 26, 1);
  PutU16(header + 28, 24);
  PutU32(header + 34, imageBytes);

  // Beside the target first: a failed write leaves the old file as it was.
  try {
    TSafeFileWriter file(fileName);
    file.Write(header, sizeof header);
    std::vector<std::uint8_t> row(rowBytes, 0);
    for (int y = fHeight - 1; y >= 0; --y) {
      const std::uint8_t* src = ScanLine(y);
      for (int x = 0; x < fWidth; ++x)
        std::memcpy(&row[static_cast<std::size_t>(x) * 3], src + static_cast<std::size_t>(x) * 4, 3);
      file.Write(row.data(), row.size());
    }
    file.Commit();
  } catch (const EFileError&) {
    return false;
  }
  return true;
}

bool TBitmap::LoadFromFile(const std::string& fileName) {
  std::vector<std::uint8_t> data;
  if (!ReadWholeFile(fileName, data)) return false;
  const std::size_t size = data.size();
  if (size < 26 || data[0] != 'B' || data[1] != 'M') return false;
  const std::uint8_t* d = data.data();
  const std::uint32_t pixelOffset = ReadU32(d + 10);
  const std::uint32_t infoSize = ReadU32(d + 14);

  std::int64_t width = 0, height = 0;
  unsigned bpp = 0, compression = 0, paletteEntryBytes = 4;
  std::uint32_t colorsUsed = 0;
  if (infoSize == 12) {  // the old core header
    width = ReadU16(d + 18);
    height = ReadU16(d + 20);
    if (ReadU16(d + 22) != 1) return false;
    bpp = ReadU16(d + 24);
    paletteEntryBytes = 3;
  } else if (infoSize >= 40 && infoSize <= 124) {
    if (size < 14 + static_cast<std::size_t>(infoSize)) return false;
    width = ReadI32(d + 18);
    height = ReadI32(d + 22);
    if (ReadU16(d + 26) != 1) return false;
    bpp = ReadU16(d + 28);
    compression = ReadU32(d + 30);
    colorsUsed = ReadU32(d + 46);
  } else {
    return false;
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width * height > kMaxLoadPixels) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;

  // Bit fields: 16 and 32 bits; without them the standard 5-5-5 and 8-8-8 layouts.
  std::uint32_t masks[3] = {0, 0, 0};
  if (compression == 3 || compression == 6) {
    if (bpp != 16 && bpp != 32) return false;
    const std::size_t at = 14 + 40;
    if (size < at + 12) return false;
    for (int i = 0; i < 3; ++i) masks[i] = ReadU32(d + at + 4 * i);
  } else if (compression != 0) {
    return false;  // run-length and embedded JPEG/PNG pictures are not read
  } else if (bpp == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else if (bpp == 32) {
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  }
  const ChannelMask red(masks[0]), green(masks[1]), blue(masks[2]);

  std::vector<std::uint32_t> palette;
  if (bpp <= 8) {
    const std::uint32_t maxColors = 1u << bpp;
    const std::uint32_t count = (colorsUsed == 0 || colorsUsed > maxColors) ? maxColors : colorsUsed;
    const std::size_t at = 14 + infoSize;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t e = at + static_cast<std::size_t>(i) * paletteEntryBytes;
      if (e + 3 > size) break;  // a short palette: the missing entries are black
      palette.push_back(0xFF000000u | (static_cast<std::uint32_t>(d[e + 2]) << 16) |
                        (static_cast<std::uint32_t>(d[e + 1]) << 8) | d[e]);
    }
  }

  const std::uint64_t rowBytes = ((static_cast<std::uint64_t>(width) * bpp + 31) / 32) * 4;
  if (pixelOffset > size || rowBytes * static_cast<std::uint64_t>(height) > size - pixelOffset) return false;

  const int w = static_cast<int>(width), h = static_cast<int>(height);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int row = 0; row < h; ++row) {
    const std::uint8_t* src = d + pixelOffset + rowBytes * static_cast<std::uint64_t>(row);
    const int y = topDown ? row : h - 1 - row;
    std::uint32_t* dest = pixels.data() + static_cast<std::size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      std::uint32_t p = 0xFF000000u;
      if (bpp <= 8) {
        const std::uint64_t bit = static_cast<std::uint64_t>(x) * bpp;
        const unsigned shift = 8 - bpp - static_cast<unsigned>(bit % 8);
        const unsigned index = (src[bit / 8] >> shift) & ((1u << bpp) - 1);
        if (index < palette.size()) p = palette[index];
      } else if (bpp == 24) {
        const std::uint8_t* q = src + static_cast<std::size_t>(x) * 3;
        p |= (static_cast<std::uint32_t>(q[2]) << 16) | (static_cast<std::uint32_t>(q[1]) << 8) | q[0];
      } else {
        const std::uint32_t v = bpp == 16 ? ReadU16(src + static_cast<std::size_t>(x) * 2)
                                          : ReadU32(src + static_cast<std::size_t>(x) * 4);
        p |= (red.Extract(v) << 16) | (green.Extract(v) << 8) | blue.Extract(v);
      }
      dest[x] = p;
    }
  }
  fPixels = std::move(pixels);
  Touch();
  fWidth = w;
  fHeight = h;
  return true;
}

TCanvas& TBitmap::Canvas() {
  if (!fCanvas) fCanvas = std::make_unique<TCanvas>(*this);
  return *fCanvas;
}
