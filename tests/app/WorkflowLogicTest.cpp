// The window-free pieces of the workflow: bands, thinning, smoothing, the mask
// and its shore samples, the depth operations and prompts, and image files.

#include <gtest/gtest.h>

#include <cstdio>
#include <csetjmp>
#include <filesystem>
#include <set>
#include <vector>

#include <jpeglib.h>

#include <QLocale>

#include "app/DepthPreparation.h"
#include "app/Dialogs.h"
#include "app/ImageFiles.h"
#include "app/WindowNumbers.h"
#include "app/InterpolationArea.h"
#include "app/InterpolationRun.h"
#include "model/GPX.h"
#include "platform/Canvas.h"
#include "tests/app/ScriptedDialogs.h"

namespace {

TGPXtrkseg& AddSegment(TGPX& doc, const std::vector<std::array<double, 3>>& latLonDepth) {
  auto trk = std::make_unique<TGPXtrk>();
  auto seg = std::make_unique<TGPXtrkseg>();
  for (const auto& [lat, lon, depth] : latLonDepth) {
    auto p = std::make_unique<TGPXwpt>();
    p->Latitude = lat;
    p->Longitude = lon;
    p->HBdepth = depth;
    seg->Add(std::move(p));
  }
  TGPXtrkseg& result = *seg;
  trk->Add(std::move(seg));
  doc.trk.Add(std::move(trk));
  return result;
}

std::vector<double> Latitudes(const TGPXtrkseg& seg) {
  std::vector<double> result;
  for (const TPoint4D2& p : seg) result.push_back(p.Latitude);
  return result;
}

std::vector<double> Depths(const TGPXtrkseg& seg) {
  std::vector<double> result;
  for (const TPoint4D2& p : seg) result.push_back(p.HBdepth);
  return result;
}

}  // namespace

// ---- bands ------------------------------------------------------------------------

TEST(PlanBands, FollowsTheExamples) {
  const std::vector<TBand> wide = PlanBands(811);
  ASSERT_EQ(wide.size(), 54u);
  EXPECT_EQ(wide[0], (TBand{0, 14}));
  EXPECT_EQ(wide[1], (TBand{15, 29}));
  EXPECT_EQ(wide[52], (TBand{780, 794}));
  EXPECT_EQ(wide[53], (TBand{795, 810}));

  EXPECT_EQ(PlanBands(16), (std::vector<TBand>{{0, 15}}));
  EXPECT_EQ(PlanBands(31), (std::vector<TBand>{{0, 14}, {15, 30}}));
}

TEST(PlanBands, ANarrowViewIsOneBandAndAnEmptyOneHasNone) {
  EXPECT_EQ(PlanBands(15), (std::vector<TBand>{{0, 14}}));
  EXPECT_EQ(PlanBands(1), (std::vector<TBand>{{0, 0}}));
  EXPECT_TRUE(PlanBands(0).empty());
  EXPECT_TRUE(PlanBands(-3).empty());
}

TEST(PlanBands, EveryWidthIsCoveredByDisjointBandsOfAtLeast15Columns) {
  for (int width = 16; width <= 2500; ++width) {
    const std::vector<TBand> bands = PlanBands(width);
    ASSERT_EQ(static_cast<int>(bands.size()), (width - 1) / 15) << width;
    int next = 0;
    for (const TBand& band : bands) {
      ASSERT_EQ(band.First, next) << width;
      ASSERT_GE(band.Last - band.First + 1, 15) << width;
      next = band.Last + 1;
    }
    ASSERT_EQ(next, width) << width;
  }
}

// ---- thinning -----------------------------------------------------------------------

TEST(DecimateTracks, ATransectAlongAMeridianKeepsItsPoints) {
  // Points 10 m apart due north: the longitude never changes, yet every point is
  // a step further north than the last kept one.
  TGPX doc;
  std::vector<std::array<double, 3>> points;
  for (int i = 0; i < 20; ++i) points.push_back({47.0 + i * 0.00009, 8.5, 300});
  TGPXtrkseg& seg = AddSegment(doc, points);
  EXPECT_EQ(DecimateTracks(doc, 0.00005, 0.00005), 0);
  EXPECT_EQ(seg.Count(), 20);

  // And east-west likewise.
  TGPX doc2;
  std::vector<std::array<double, 3>> east;
  for (int i = 0; i < 20; ++i) east.push_back({47.0, 8.5 + i * 0.0001, 300});
  AddSegment(doc2, east);
  EXPECT_EQ(DecimateTracks(doc2, 0.00005, 0.00005), 0);
}

TEST(DecimateTracks, DropsPointsCloseInBothDirectionsToTheLastKeptOne) {
  TGPX doc;
  TGPXtrkseg& seg = AddSegment(doc, {{1.0, 1.0, 100},        // first point: kept, even near (1.0, 1.0)
                                     {1.00001, 1.00001, 110},  // within both steps: dropped
                                     {1.00004, 1.00004, 120},  // still within of the first: dropped
                                     {1.00020, 1.00001, 130},  // a step north: kept
                                     {1.00021, 1.00002, 140},  // close to the previous kept one: dropped
                                     {1.00021, 1.00030, 150}});
  EXPECT_EQ(DecimateTracks(doc, 0.0001, 0.0001), 3);
  EXPECT_EQ(Depths(seg), (std::vector<double>{100, 130, 150}));
  // A second run finds nothing more to drop.
  EXPECT_EQ(DecimateTracks(doc, 0.0001, 0.0001), 0);
}

TEST(DecimateTracks, SteppingZeroKeepsEverythingAndEmptySegmentsAreFine) {
  TGPX doc;
  AddSegment(doc, {});
  TGPXtrkseg& seg = AddSegment(doc, {{5, 5, 1}, {5, 5, 2}});
  EXPECT_EQ(DecimateTracks(doc, 0, 0), 0);
  EXPECT_EQ(seg.Count(), 2);
}

TEST(AppendTrackSamples, AppendsEveryTrackPointInSinglePrecision) {
  TGPX doc;
  AddSegment(doc, {{47.25, 8.5, 350.5}, {47.5, 8.75, 0}});
  doc.wpt.Add(std::make_unique<TGPXwpt>());  // waypoints are no samples
  TPointList coord{{1.0f, 2.0f}};
  TValueList depth{0.0f};
  AppendTrackSamples(doc, coord, depth);
  ASSERT_EQ(coord.size(), 3u);
  ASSERT_EQ(depth.size(), 3u);
  EXPECT_EQ(coord[1], (std::array<float, 2>{8.5f, 47.25f}));
  EXPECT_EQ(depth[1], 350.5f);
  EXPECT_EQ(coord[2], (std::array<float, 2>{8.75f, 47.5f}));
}

// ---- picture and smoothing ---------------------------------------------------------------

TEST(GridToPicture, KeepsRedInTheLowestByte) {
  TColorArray grid(3, 2);
  grid[0][0] = RGB(255, 0, 0);
  grid[2][1] = RGB(0, 0, 255);
  TBitmap picture;
  GridToPicture(grid, picture);
  ASSERT_EQ(picture.Width(), 3);
  ASSERT_EQ(picture.Height(), 2);
  EXPECT_EQ(picture.Pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(picture.Pixel(2, 1), RGB(0, 0, 255));
  EXPECT_EQ(picture.Pixel(1, 0), 0u);  // black where nothing was computed
}

TEST(SmoothMap, AveragesInPlaceTopDownAndLeftToRight) {
  TBitmap picture(5, 5);
  picture.Fill(0);
  picture.SetPixel(2, 2, RGB(90, 9, 180));
  TBooleanArray mask(5, 5);
  mask.Fill(true);
  SmoothMap(picture, mask);
  // (1, 1) sees the bright pixel: 90 / 9 = 10.
  EXPECT_EQ(picture.Pixel(1, 1), RGB(10, 1, 20));
  // (2, 1) comes next and already sees the new (1, 1): (10 + 90) / 9 = 11.
  EXPECT_EQ(picture.Pixel(2, 1), RGB(11, 1, 22));
  // The outermost rows and columns keep their colour.
  EXPECT_EQ(picture.Pixel(0, 0), 0u);
  EXPECT_EQ(picture.Pixel(4, 2), 0u);
}

TEST(SmoothMap, LeavesAUniformBlockAndPixelsNearTheMaskEdgeAlone) {
  TBitmap picture(6, 6);
  picture.Fill(RGB(40, 80, 120));
  picture.SetPixel(4, 4, RGB(255, 255, 255));
  TBooleanArray mask(6, 6);
  mask.Fill(true);
  mask[5][5] = false;  // the block of (4, 4) touches it
  SmoothMap(picture, mask);
  EXPECT_EQ(picture.Pixel(2, 2), RGB(40, 80, 120));
  EXPECT_EQ(picture.Pixel(4, 4), RGB(255, 255, 255));
}

// ---- polygons, mask and shore samples --------------------------------------------------------

TEST(PtInRgn, CountsCrossingsOnBothSides) {
  const TPixelPolygon square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  const TPixelPolygon closed{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
  struct TCase {
    TPoint p;
    bool inside;
  };
  const TCase cases[] = {
      {{5, 5}, true},    {{1, 9}, true},   {{15, 5}, false}, {{-1, 5}, false},
      {{5, 10}, false},  // on the top edge row: no edge counts there
      {{0, 5}, false},   // on the left edge: that crossing counts on neither side
      {{10, 5}, false},  // on the right edge likewise
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(PtInRgn(square, c.p), c.inside) << c.p.X << "," << c.p.Y;
    EXPECT_EQ(PtInRgn(closed, c.p), c.inside) << c.p.X << "," << c.p.Y;
  }
  const TPixelPolygon single{{3, 3}};
  EXPECT_FALSE(PtInRgn(single, {3, 3}));
}

namespace {
TPixelPolygon Square(int left, int top, int right, int bottom) {
  return {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
}

struct TAreaFixture {
  static constexpr int kSize = 40;
  TBitmap shadow{kSize, kSize};
  TBitmap shore{kSize, kSize};
  TViewProjection projection{10.0, 50.0, 1000.0, kSize};
  TBooleanArray mask;
  TPointList coord;
  TValueList depth;

  TAreaFixture() { shadow.Fill(0xC0C0C0); }  // a wide stroke everywhere
  void Build(const std::vector<TPixelPolygon>& polygons) {
    PaintShoreLine(shore, polygons);
    CombineMask(shadow, shore, projection, mask, coord, depth);
  }
  int MaskCount() const {
    int n = 0;
    for (int x = 0; x < kSize; ++x)
      for (int y = 0; y < kSize; ++y) n += mask[x][y];
    return n;
  }
};
}  // namespace

TEST(InterpolationArea, LakeWithTwoIslands) {
  TAreaFixture f;
  f.shadow.SetPixel(20, 6, 0xFFFFFF);  // not under a stroke
  f.Build({Square(8, 8, 14, 14), Square(2, 2, 37, 37), Square(22, 22, 30, 30)});

  EXPECT_EQ(f.shore.Pixel(20, 5), shoreline::kLake);
  EXPECT_EQ(f.shore.Pixel(11, 11), shoreline::kIsland);
  EXPECT_EQ(f.shore.Pixel(26, 26), shoreline::kIsland);
  EXPECT_EQ(f.shore.Pixel(2, 20), shoreline::kIsland);  // the lake's outline
  EXPECT_EQ(f.shore.Pixel(0, 0), shoreline::kLand);

  EXPECT_TRUE(f.mask[20][5]);
  EXPECT_FALSE(f.mask[20][6]);   // white on the shadow map
  EXPECT_FALSE(f.mask[11][11]);  // island
  EXPECT_FALSE(f.mask[26][26]);  // island
  EXPECT_FALSE(f.mask[2][20]);   // outline
  EXPECT_FALSE(f.mask[0][20]);   // land

  // One zero-depth sample for every red pixel, at that pixel's position.
  std::set<std::pair<float, float>> red;
  for (int y = 0; y < TAreaFixture::kSize; ++y)
    for (int x = 0; x < TAreaFixture::kSize; ++x)
      if (f.shore.Pixel(x, y) == shoreline::kIsland)
        red.insert({static_cast<float>(f.projection.XToLo(x)), static_cast<float>(f.projection.YToLa(y))});
  ASSERT_EQ(f.coord.size(), red.size());
  ASSERT_EQ(f.depth.size(), red.size());
  for (std::size_t i = 0; i < f.coord.size(); ++i) {
    EXPECT_TRUE(red.count({f.coord[i][0], f.coord[i][1]})) << i;
    EXPECT_EQ(f.depth[i], 0.0f);
  }
}

TEST(InterpolationArea, WithoutShoreLineTheWholeViewIsLakeButNeverItsBorder) {
  TAreaFixture f;
  f.Build({});
  EXPECT_TRUE(f.coord.empty());
  EXPECT_EQ(f.MaskCount(), (TAreaFixture::kSize - 2) * (TAreaFixture::kSize - 2));
  for (int i = 0; i < TAreaFixture::kSize; ++i) {
    EXPECT_FALSE(f.mask[0][i]);
    EXPECT_FALSE(f.mask[TAreaFixture::kSize - 1][i]);
    EXPECT_FALSE(f.mask[i][0]);
    EXPECT_FALSE(f.mask[i][TAreaFixture::kSize - 1]);
  }
}

TEST(InterpolationArea, PolygonsSideBySideAreBothIslands) {
  TAreaFixture f;
  f.Build({Square(2, 2, 15, 15), Square(20, 20, 35, 35)});
  EXPECT_EQ(f.MaskCount(), 0);
  EXPECT_EQ(f.shore.Pixel(8, 8), shoreline::kIsland);
  EXPECT_EQ(f.shore.Pixel(27, 27), shoreline::kIsland);
}

TEST(InterpolationArea, TheLakeIsTheLastPolygonThatHoldsAnother) {
  // Two lakes side by side, each with an island: the later lake is the lake, the
  // earlier one and both islands are painted red.
  TAreaFixture f;
  f.Build({Square(1, 1, 18, 38), Square(6, 6, 12, 12), Square(21, 1, 38, 38), Square(26, 26, 32, 32)});
  EXPECT_EQ(f.shore.Pixel(15, 20), shoreline::kIsland);
  EXPECT_EQ(f.shore.Pixel(9, 9), shoreline::kIsland);
  EXPECT_EQ(f.shore.Pixel(30, 10), shoreline::kLake);
  EXPECT_EQ(f.shore.Pixel(29, 29), shoreline::kIsland);
  EXPECT_FALSE(f.mask[15][20]);
  EXPECT_TRUE(f.mask[30][10]);
  EXPECT_FALSE(f.mask[29][29]);

  // One polygon is the lake, however small, and its outline gives the samples.
  TAreaFixture one;
  one.Build({Square(10, 10, 20, 20)});
  EXPECT_EQ(one.shore.Pixel(15, 15), shoreline::kLake);
  EXPECT_TRUE(one.mask[15][15]);
  EXPECT_FALSE(one.mask[10][15]);
  EXPECT_FALSE(one.mask[25][15]);
  EXPECT_FALSE(one.coord.empty());
}

TEST(InterpolationArea, RebuildsReplaceTheShoreSamples) {
  TAreaFixture f;
  f.Build({Square(2, 2, 37, 37)});
  const std::size_t once = f.coord.size();
  ASSERT_GT(once, 0u);
  f.Build({Square(2, 2, 37, 37)});
  EXPECT_EQ(f.coord.size(), once);
  EXPECT_EQ(f.depth.size(), once);
}

// ---- depth operations and prompts ------------------------------------------------------------

TEST(DepthOperations, MaximumTruncatesAndStartsFromZero) {
  TGPX doc;
  TGPXtrkseg& a = AddSegment(doc, {{1, 1, 850.9}, {1, 1, 0}, {1, 1, 200}});
  TGPXtrkseg& b = AddSegment(doc, {{1, 1, -30}, {1, 1, -5}});
  TGPXtrkseg& empty = AddSegment(doc, {});
  EXPECT_EQ(GetTrackSegMaxDepth(a), 850);
  EXPECT_EQ(GetTrackSegMaxDepth(b), 0);
  EXPECT_EQ(GetTrackSegMaxDepth(empty), 0);
  EXPECT_EQ(GetMaxDepth(doc), 850);
}

TEST(DepthOperations, RemoveSetAndAdd) {
  TGPX doc;
  TGPXtrkseg& seg = AddSegment(doc, {{1, 0, 0}, {2, 0, 0}, {3, 0, 120}, {4, 0, 0}, {5, 0, 300}, {6, 0, 0}});
  RemoveZeroDepth(doc);
  EXPECT_EQ(Latitudes(seg), (std::vector<double>{3, 5}));
  AddDepth(doc, -50);
  EXPECT_EQ(Depths(seg), (std::vector<double>{70, 250}));
  SetDepth(doc, 350);
  EXPECT_EQ(Depths(seg), (std::vector<double>{350, 350}));
  StampMaxDepth(doc, 350);
  EXPECT_EQ(seg.maxdepth, 350);
}

TEST(AskCentimetres, AsksAgainUntilAWholeNumberAndCancelKeepsTheDefault) {
  TScriptedDialogs dialogs;
  dialogs.inputAnswers = {"12.5", "abc", " 35 "};
  EXPECT_EQ(AskCentimetres(dialogs, "Apply depth to dataset", "a.htTrack: T Depth [cm]:"), 35);
  const auto asked = dialogs.OfKind("input");
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0].text, "a.htTrack: T Depth [cm]:");
  EXPECT_EQ(asked[0].caption, "Apply depth to dataset");
  EXPECT_EQ(asked[0].defaultValue, "0");
  EXPECT_NE(asked[1].text.find(kWholeCentimetresExpected), std::string::npos);

  struct TCase {
    std::optional<std::string> answer;
    std::int32_t value;
  };
  for (const TCase& c : {TCase{std::nullopt, 0}, TCase{"-20", -20}, TCase{"+5", 5}, TCase{"0", 0}}) {
    TScriptedDialogs d;
    d.inputAnswers = {c.answer};
    EXPECT_EQ(AskCentimetres(d, "c", "p"), c.value);
    EXPECT_EQ(d.OfKind("input").size(), 1u);
  }
}

TEST(FileNames, ExtensionsAndDefaultExtensions) {
  EXPECT_EQ(LowerExtension("/data/Lake.GPX"), ".gpx");
  EXPECT_EQ(LowerExtension("/data/track.ht"), ".ht");
  EXPECT_EQ(LowerExtension("/data.d/track"), "");
  EXPECT_EQ(LowerExtension("track."), ".");
  EXPECT_EQ(WithDefaultExt("/tmp/map", "bmp"), "/tmp/map.bmp");
  EXPECT_EQ(WithDefaultExt("/tmp/map.jpg", "bmp"), "/tmp/map.jpg");
  EXPECT_EQ(WithDefaultExt("/tmp.d/map", "bmp"), "/tmp.d/map.bmp");
  EXPECT_EQ(FileNameOnly("/data/lake/a.ht"), "a.ht");
}

// ---- JPEG ------------------------------------------------------------------------------------

namespace {
struct TDecoded {
  int width = 0, height = 0, components = 0;
  bool progressive = true;
  std::vector<std::uint8_t> rgb;
  std::array<int, 3> At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

struct TDecodeError {
  jpeg_error_mgr manager;
  std::jmp_buf escape;
};

bool DecodeJpeg(const std::string& path, TDecoded& out) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  jpeg_decompress_struct info;
  TDecodeError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = [](j_common_ptr i) { std::longjmp(reinterpret_cast<TDecodeError*>(i->err)->escape, 1); };
  if (setjmp(error.escape)) {
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  out.progressive = info.progressive_mode;
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.components = info.output_components;
  out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.rgb.data() + static_cast<std::size_t>(info.output_scanline) * out.width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  return true;
}
}  // namespace

TEST(SaveJPEG, WritesABaselineJpegThatDecodesToThePicture) {
  TBitmap picture(64, 32);
  picture.FillRect({0, 0, 32, 32}, RGB(255, 0, 0));
  picture.FillRect({32, 0, 64, 32}, RGB(0, 0, 255));
  const std::string path = (std::filesystem::temp_directory_path() / "shoalwright_savejpeg_test.jpg").string();
  ASSERT_TRUE(SaveJPEG(picture, path, 90));
  TDecoded decoded;
  ASSERT_TRUE(DecodeJpeg(path, decoded));
  EXPECT_EQ(decoded.width, 64);
  EXPECT_EQ(decoded.height, 32);
  EXPECT_EQ(decoded.components, 3);
  EXPECT_FALSE(decoded.progressive);
  const auto red = decoded.At(12, 16);
  const auto blue = decoded.At(52, 16);
  EXPECT_GT(red[0], 240);
  EXPECT_LT(red[2], 15);
  EXPECT_GT(blue[2], 240);
  EXPECT_LT(blue[0], 15);
  std::filesystem::remove(path);
}

TEST(SaveJPEG, FailsWithoutLeavingAFileWhereItCannotWrite) {
  TBitmap picture(8, 8);
  const auto folder = std::filesystem::temp_directory_path() / "shoalwright_no_such_folder";
  EXPECT_FALSE(SaveJPEG(picture, (folder / "x.jpg").string()));
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_FALSE(SaveJPEG(TBitmap(), (std::filesystem::temp_directory_path() / "shoalwright_empty.jpg").string()));
}

// ---- numbers in the window ------------------------------------------------------------------

TEST(LocaleFixed, RoundsOnceAtThePrecisionOrTheDecimals) {
  struct TCase {
    double value;
    int decimals;
    const char* text;
  };
  const TCase cases[] = {
      {12.34, 1, "12.3"},     {12.25, 1, "12.3"},     {0, 1, "0.0"},         {999.96, 1, "1000.0"},
      {1234.56, 1, "1235.0"}, {9999.4, 1, "9999.0"},  {12345.6, 1, "1.235E4"}, {9999.96, 1, "1E4"},
      {6.0, 2, "6.00"},       {123.456, 2, "123.50"}, {0.125, 2, "0.13"},
  };
  for (const TCase& c : cases) EXPECT_EQ(LocaleFixed(c.value, c.decimals), c.text) << c.value;

  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(LocaleFixed(1234.56, 1), "1235,0");
  EXPECT_EQ(LocaleGeneral(0.000125), "0,000125");
  QLocale::setDefault(saved);
}
