#include "platform/Bitmap.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempFolder.h"

namespace {

constexpr TColor kRed = 0x0000FF;  // $00BBGGRR: pure red
constexpr TColor kWhite = 0xFFFFFF;

constexpr TColor RGBColor(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

std::string TempFile(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("shoalwright_bitmap_" + name)).string();
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void Put32(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
  if (at + 4 > b.size()) throw std::out_of_range("Put32 beyond the bytes");
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

TEST(Bitmap, PureRedIsStoredAsQtRgb32Bytes) {
  TBitmap bmp(3, 2);
  EXPECT_EQ(bmp.Stride(), 12);
  bmp.SetPixel(1, 1, kRed);
  const std::uint8_t* px = bmp.ScanLine(1) + 4;
  EXPECT_EQ(px[0], 0x00);  // B
  EXPECT_EQ(px[1], 0x00);  // G
  EXPECT_EQ(px[2], 0xFF);  // R
  EXPECT_EQ(px[3], 0xFF);  // X
  EXPECT_EQ(bmp.Pixel(1, 1), kRed);
  EXPECT_EQ(bmp.Bits() + bmp.Stride() + 4, px);
}

TEST(Bitmap, PixelAccessOutsideIsHarmless) {
  TBitmap bmp(2, 2);
  EXPECT_EQ(bmp.Pixel(0, 0), kWhite);
  EXPECT_EQ(bmp.Pixel(2, 0), TBitmap::kInvalidColor);
  EXPECT_EQ(bmp.Pixel(0, -1), TBitmap::kInvalidColor);
  bmp.SetPixel(-1, 0, kRed);
  bmp.SetPixel(0, 2, kRed);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(bmp.Pixel(x, y), kWhite);
  // Bits above the colour are ignored.
  bmp.SetPixel(0, 0, 0x01123456);
  EXPECT_EQ(bmp.Pixel(0, 0), 0x123456u);
}

TEST(Bitmap, SetSizeKeepsTheCommonAreaAndWhitensTheRest) {
  TBitmap bmp(2, 2);
  bmp.SetPixel(1, 1, kRed);
  bmp.SetPixel(0, 1, 0x00FF00);
  bmp.SetSize(3, 1);
  EXPECT_EQ(bmp.Width(), 3);
  EXPECT_EQ(bmp.Height(), 1);
  EXPECT_EQ(bmp.Pixel(2, 0), kWhite);
  bmp.SetSize(3, 2);
  EXPECT_EQ(bmp.Pixel(0, 1), kWhite);  // cut off by the height 1 before
  bmp.SetSize(-5, 4);
  EXPECT_TRUE(bmp.Empty());
  EXPECT_EQ(bmp.Bits(), nullptr);
}

TEST(Bitmap, CopiesClipAndStretchByNearestNeighbour) {
  TBitmap src(2, 2);
  src.SetPixel(0, 0, 0x000001);
  src.SetPixel(1, 0, 0x000002);
  src.SetPixel(0, 1, 0x000003);
  src.SetPixel(1, 1, 0x000004);

  // Part of the source reaches past the destination's edge.
  TBitmap dest(3, 3);
  dest.Draw(2, -1, src);
  EXPECT_EQ(dest.Pixel(2, 0), 0x000003u);
  EXPECT_EQ(dest.Pixel(1, 0), kWhite);
  EXPECT_EQ(dest.Pixel(2, 1), kWhite);

  // Doubling: every source pixel becomes a 2 x 2 block.
  TBitmap big(4, 4);
  big.StretchDraw({0, 0, 4, 4}, src);
  const TColor expected[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(big.Pixel(x, y), expected[y][x]) << x << "," << y;

  // Overlapping copy within one bitmap reads the pixels as they were before.
  big.CopyRect({1, 0, 4, 1}, big, {0, 0, 3, 1});
  EXPECT_EQ(big.Pixel(1, 0), 1u);
  EXPECT_EQ(big.Pixel(2, 0), 1u);
  EXPECT_EQ(big.Pixel(3, 0), 2u);
}

TEST(Bitmap, TransparentDrawLeavesOutExactlyTheTransparentColour) {
  TBitmap icon(2, 1);
  icon.SetPixel(0, 0, 0x00FF00);
  icon.SetPixel(1, 0, 0x00FF01);  // one step off the transparent colour
  TBitmap dest(2, 1);
  dest.Fill(kRed);
  dest.DrawTransparent(0, 0, icon, 0x00FF00);
  EXPECT_EQ(dest.Pixel(0, 0), kRed);
  EXPECT_EQ(dest.Pixel(1, 0), 0x00FF01u);
}

TEST(Bitmap, BmpRoundTripKeepsEveryPixelOfAnOddWidth) {
  TBitmap bmp(5, 3);  // 15-byte rows, padded to 16
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) bmp.SetPixel(x, y, RGBColor(x * 50, y * 100, 7));
  const std::string path = TempFile("roundtrip.bmp");
  ASSERT_TRUE(bmp.SaveToFile(path));
  EXPECT_EQ(std::filesystem::file_size(path), 54u + 16u * 3u);

  TBitmap back;
  ASSERT_TRUE(back.LoadFromFile(path));
  ASSERT_EQ(back.Width(), 5);
  ASSERT_EQ(back.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(back.Pixel(x, y), bmp.Pixel(x, y)) << x << "," << y;
  std::filesystem::remove(path);
}

TEST(Bitmap, AFailedSaveLeavesTheOldFileAsItWas) {
  const TTempFolder folder("shoalwright_bitmap");
  const std::string path = folder.Path("picture.bmp");
  const TBitmap small(2, 2);
  ASSERT_TRUE(small.SaveToFile(path));
  const auto before = std::filesystem::file_size(path);
  {
    const TFileSizeLimit diskFull(1000);
    EXPECT_FALSE(TBitmap(100, 100).SaveToFile(path));
  }
  EXPECT_EQ(std::filesystem::file_size(path), before);
  TBitmap back;
  EXPECT_TRUE(back.LoadFromFile(path));
  EXPECT_EQ(back.Width(), 2);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Dir()), {}), 1);  // no leftovers
}

TEST(Bitmap, LoadsAPalettedTopDownBmp) {
  // 3 x 2, 8 bits, two palette entries, rows top first (negative height).
  std::vector<unsigned char> b(54 + 8 + 8, 0);
  b[0] = 'B', b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, 54 + 8);
  Put32(b, 14, 40);
  Put32(b, 18, 3);
  Put32(b, 22, static_cast<std::uint32_t>(-2));
  b[26] = 1, b[28] = 8;
  Put32(b, 46, 2);
  // palette: 0 = blue (B,G,R,0), 1 = red
  b[54] = 0xFF;
  b[58 + 2] = 0xFF;
  const unsigned char rows[8] = {0, 1, 0, 0, 1, 1, 0, 0};
  std::copy(rows, rows + 8, b.begin() + 62);
  const std::string path = TempFile("paletted.bmp");
  WriteBytes(path, b);

  TBitmap bmp;
  ASSERT_TRUE(bmp.LoadFromFile(path));
  EXPECT_EQ(bmp.Pixel(0, 0), 0xFF0000u);  // blue as $00BBGGRR
  EXPECT_EQ(bmp.Pixel(1, 0), kRed);
  EXPECT_EQ(bmp.Pixel(0, 1), kRed);
  EXPECT_EQ(bmp.Pixel(2, 1), 0xFF0000u);
  std::filesystem::remove(path);
}

TEST(Bitmap, LoadsSixteenAndThirtyTwoBitPixelsThroughTheirChannelMasks) {
  struct Case {
    const char* what;
    unsigned bpp, compression;
    std::vector<std::uint32_t> masks;  // red, green, blue; none for the default layout
    std::vector<unsigned char> row;    // two pixels, padded to 4 bytes
    TColor first, second;
  };
  const Case cases[] = {
      {"16 bits, 5-5-5", 16, 0, {}, {0x00, 0x7C, 0x10, 0x00}, kRed, RGBColor(0, 0, 132)},
      {"16 bits, 5-6-5 fields", 16, 3, {0xF800, 0x07E0, 0x001F}, {0xE0, 0x07, 0x1F, 0x00}, RGBColor(0, 255, 0),
       RGBColor(0, 0, 255)},
      {"32 bits, red in the low byte", 32, 3, {0x000000FF, 0x0000FF00, 0x00FF0000},
       {0xFF, 0, 0, 0, 0, 0, 0x80, 0}, kRed, RGBColor(0, 0, 0x80)},
  };
  const std::string path = TempFile("fields.bmp");
  for (const Case& c : cases) {
    const std::uint32_t offset = 54 + 4 * static_cast<std::uint32_t>(c.masks.size());
    std::vector<unsigned char> b(offset, 0);
    b[0] = 'B', b[1] = 'M';
    Put32(b, 10, offset);
    Put32(b, 14, 40);
    Put32(b, 18, 2);
    Put32(b, 22, 1);
    b[26] = 1, b[28] = static_cast<unsigned char>(c.bpp);
    Put32(b, 30, c.compression);
    for (std::size_t i = 0; i < c.masks.size(); ++i) Put32(b, 54 + 4 * i, c.masks[i]);
    b.insert(b.end(), c.row.begin(), c.row.end());
    Put32(b, 2, static_cast<std::uint32_t>(b.size()));
    WriteBytes(path, b);
    TBitmap bmp;
    ASSERT_TRUE(bmp.LoadFromFile(path)) << c.what;
    EXPECT_EQ(bmp.Pixel(0, 0), c.first) << c.what;
    EXPECT_EQ(bmp.Pixel(1, 0), c.second) << c.what;
  }
  std::filesystem::remove(path);
}

TEST(Bitmap, RefusesDamagedFilesAndKeepsItsPixels) {
  TBitmap good(4, 4);
  const std::string path = TempFile("damaged.bmp");
  ASSERT_TRUE(good.SaveToFile(path));
  std::vector<unsigned char> bytes(std::filesystem::file_size(path));
  {
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  struct Case {
    const char* what;
    std::vector<unsigned char> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"truncated pixels", {bytes.begin(), bytes.end() - 1}});
  cases.push_back({"header only", {bytes.begin(), bytes.begin() + 20}});
  auto huge = bytes;
  Put32(huge, 18, 0x7FFFFFFF);
  Put32(huge, 22, 0x7FFFFFFF);
  cases.push_back({"absurd size", huge});
  auto rle = bytes;
  Put32(rle, 30, 1);
  cases.push_back({"compressed", rle});
  auto offset = bytes;
  Put32(offset, 10, 0xFFFFFFF0u);
  cases.push_back({"pixel offset past the end", offset});

  for (const Case& c : cases) {
    WriteBytes(path, c.bytes);
    TBitmap bmp(1, 1);
    bmp.SetPixel(0, 0, kRed);
    EXPECT_FALSE(bmp.LoadFromFile(path)) << c.what;
    EXPECT_EQ(bmp.Width(), 1) << c.what;
    EXPECT_EQ(bmp.Pixel(0, 0), kRed) << c.what;
  }
  std::filesystem::remove(path);
  TBitmap bmp;
  EXPECT_FALSE(bmp.LoadFromFile(path));
}
