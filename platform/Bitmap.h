#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Color.h"

class TCanvas;

// A pixel position. 64-bit, so that positions of far-off points in a deeply
// zoomed view can be drawn (and clipped) without wrapping.
struct TPoint {
  std::int64_t X = 0;
  std::int64_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// A rectangle of pixels; Right and Bottom are exclusive, so (0, 0, w, h) is a
// whole bitmap of w by h pixels.
struct TRect {
  std::int64_t Left = 0;
  std::int64_t Top = 0;
  std::int64_t Right = 0;
  std::int64_t Bottom = 0;

  std::int64_t Width() const { return Right - Left; }
  std::int64_t Height() const { return Bottom - Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// A 32-bit raster image in memory. Each pixel is four bytes B, G, R, X in that
// order (X is always $FF), rows top first, each row Stride() bytes long: the
// layout of QImage::Format_RGB32, so a window can show the buffer without a copy.
//
// Colours go in and out as TColor ($00BBGGRR, red in the lowest byte); the
// conversion to the B,G,R byte order happens here and nowhere else.
//
// Reading pixels of a bitmap that nobody changes is safe from several threads,
// and so is writing rows of one's own through ScanLine while others write theirs;
// resizing, loading and drawing with the canvas belong to one thread.
class TBitmap {
public:
  TBitmap();
  TBitmap(int width, int height);  // filled with white
  ~TBitmap();
  TBitmap(const TBitmap& other);   // copies the pixels, not the canvas state
  TBitmap& operator=(const TBitmap& other);

  int Width() const { return fWidth; }
  int Height() const { return fHeight; }
  bool Empty() const { return fWidth == 0 || fHeight == 0; }
  // Bytes from the start of one row to the start of the next (4 · Width).
  int Stride() const { return fWidth * 4; }

  // Changes the size, keeping the pixels of the area that old and new size have in
  // common; pixels that were not there before are white. Negative sizes count as 0.
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, fHeight); }
  void SetHeight(int height) { SetSize(fWidth, height); }

  // The colour at (x, y); kInvalidColor outside the bitmap.
  static constexpr TColor kInvalidColor = 0xFFFFFFFFu;
  TColor Pixel(int x, int y) const;
  // Sets one pixel; nothing happens outside the bitmap. Bits 24 and above of the
  // colour are ignored.
  void SetPixel(int x, int y, TColor color);

  // Row y as B,G,R,X bytes (Width · 4 of them); y must lie in 0 .. Height − 1.
  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;
  // The first byte of row 0; Height · Stride bytes in all (null when empty).
  std::uint8_t* Bits();
  const std::uint8_t* Bits() const;

  // Conversions between a TColor and the 32-bit word of a pixel ($FFRRGGBB).
  static constexpr std::uint32_t ColorToPixel(TColor c) {
    return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
  }
  static constexpr TColor PixelToColor(std::uint32_t p) {
    return ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16);
  }

  // Every pixel set to one colour.
  void Fill(TColor color);
  // The pixels of rect, clipped to the bitmap, set to one colour.
  void FillRect(const TRect& rect, TColor color);

  // Copies srcRect of src into destRect of this bitmap, both clipped to their
  // bitmaps. When the two rectangles differ in size the copy is stretched by
  // nearest neighbour (see StretchDraw). src may be this bitmap itself.
  void CopyRect(const TRect& destRect, const TBitmap& src, const TRect& srcRect);
  // The whole of src with its top-left corner at (x, y), opaque.
  void Draw(std::int64_t x, std::int64_t y, const TBitmap& src);
  // The same, but pixels of src that have exactly the colour transparent are
  // left out, so what lies beneath shows through.
  void DrawTransparent(std::int64_t x, std::int64_t y, const TBitmap& src, TColor transparent);
  // The whole of src scaled into destRect by nearest neighbour: destination pixel
  // column dx takes source column floor((dx − Left + ½) · src.Width / destRect.Width),
  // rows likewise. Nothing for an empty source or destination rectangle.
  void StretchDraw(const TRect& destRect, const TBitmap& src);

  // Writes an uncompressed 24-bit BMP (bottom-up rows, padded to 4 bytes). The
  // file is replaced only once the new one is complete: false, with an existing
  // file untouched, when it cannot be written.
  bool SaveToFile(const std::string& fileName) const;
  // Reads an uncompressed BMP of 1, 4, 8, 16, 24 or 32 bits per pixel (16 and 32
  // bits also with bit fields), bottom-up or top-down. False, with the bitmap unchanged,
  // when the file is missing, truncated, compressed or otherwise not readable.
  bool LoadFromFile(const std::string& fileName);

  // Counts the changes of the pixels: every call that may change them (including
  // taking a writable row or Bits) moves it on. A canvas uses it to know that
  // what it drew last is still there. Write through a pointer taken from ScanLine
  // or Bits only before the next drawing call.
  std::uint64_t Generation() const { return fGeneration.load(std::memory_order_relaxed); }

  // The drawing surface of this bitmap, with its own persistent pen, brush and pen
  // position (made on first use, lives as long as the bitmap).
  TCanvas& Canvas();

private:
  int fWidth = 0;
  int fHeight = 0;
  std::vector<std::uint32_t> fPixels;  // $FFRRGGBB words, row after row
  // Atomic, so that threads may write rows of their own at the same time.
  std::atomic<std::uint64_t> fGeneration{0};
  void Touch() { fGeneration.fetch_add(1, std::memory_order_relaxed); }
  std::unique_ptr<TCanvas> fCanvas;
};
