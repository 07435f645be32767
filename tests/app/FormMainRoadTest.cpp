// The whole main road through the window: HT files of a lake in, "Interpolate",
// "ISO Map", "Create HT-File", and the files read back.

#include <QLineEdit>
#include <set>
#include <utility>

#include "app/logic/ContourOutput.h"
#include "tests/support/SyntheticLake.h"
#include "tests/app/FormSupport.h"

namespace {

constexpr int kStep = 100;

class FormMainRoadTest : public FormTest {
protected:
  // The lake's soundings as HT files of whole boat tracks, each file within the
  // format's entries, and the shore and the island as a file of depth 0.
  std::vector<std::string> WriteLake(const TSyntheticLake& lake) {
    std::vector<std::string> files;
    std::vector<TSegmentPoints> segments;
    int entries = 0;
    const auto flush = [&] {
      if (segments.empty()) return;
      files.push_back(WriteHT("lake" + std::to_string(files.size()) + ".ht", segments));
      segments.clear();
      entries = 0;
    };
    for (const auto& track : lake.Tracks()) {
      TSegmentPoints points;
      for (const TLakeSounding& s : track) points.push_back({s.Latitude, s.Longitude, s.DepthCm});
      if (entries + static_cast<int>(points.size()) + 3 > 19000) flush();
      entries += static_cast<int>(points.size()) + 3;
      segments.push_back(std::move(points));
    }
    flush();
    std::vector<TSegmentPoints> rings;
    for (const auto* ring : {&lake.Shore(), &lake.Island()}) {
      TSegmentPoints points;
      for (const TLakePosition& p : *ring) points.push_back({p.Latitude, p.Longitude, 0});
      points.push_back(points.front());  // closed
      rings.push_back(std::move(points));
    }
    files.push_back(WriteHT("shore.ht", rings));
    return files;
  }
};

TEST_F(FormMainRoadTest, FromHTFilesOfALakeToContourFilesForTheDevice) {
  const TSyntheticLake lake(20000);
  AddFiles(WriteLake(lake));
  Interpolate();
  ASSERT_TRUE(Ws().InterpolatedMap().has_value());
  Find<QLineEdit>("edtIsoStep")->setText(QString::number(kStep));
  form->btnIsoMapClick();
  ASSERT_TRUE(dialogs.Errors().empty()) << dialogs.Errors().front();
  const std::int64_t contourPoints = CountPoints(Ws().IsoData(), 0);
  ASSERT_GT(contourPoints, 1000);

  std::filesystem::create_directory(Path("matrix"));
  for (int f = 0; f < 10; ++f) dialogs.saveAnswers.push_back(Path("matrix/" + ChunkNumber(f) + ".ht"));
  form->btnCreateHTClick();
  ASSERT_TRUE(dialogs.Errors().empty()) << dialogs.Errors().front();
  const std::size_t files = dialogs.OfKind("save").size();
  ASSERT_GE(files, 1u);
  EXPECT_EQ(dialogs.OfKind("show").size(), 1u);

  // Where the shore lines lie on the map: their points come back at depth 0 too.
  const TInterpolatedMap& map = *Ws().InterpolatedMap();
  const TViewProjection& view = map.Projection;
  std::set<std::pair<int, int>> shorePixels;
  for (const TGPXtrk& trk : Ws().GPXdata().trk)
    for (const TGPXtrkseg& seg : trk)
      if (seg.maxdepth == 0)
        for (const TPoint4D2& p : seg) shorePixels.insert({view.LoToX(p.Longitude), view.LaToY(p.Latitude)});
  const auto near = [](int x, int y, const std::function<bool(int, int)>& test) {
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        if (test(x + dx, y + dy)) return true;
    return false;
  };
  const auto inMask = [&](int x, int y) { return map.Mask.Contains(x, y) && map.Mask[x][y]; };
  const auto onShore = [&](int x, int y) { return shorePixels.count({x, y}) > 0; };

  std::int64_t readBack = 0;
  for (std::size_t f = 0; f < files; ++f) {
    const std::string path = Path("matrix/" + ChunkNumber(static_cast<int>(f)) + ".ht");
    ASSERT_EQ(std::filesystem::file_size(path), THTConvert::kFileSize) << path;
    TGPX back;
    THTConvert reader(&back, "", path);
    ASSERT_TRUE(reader.ReadHT().Loaded) << path;
    EXPECT_LE(CountPoints(back, kHTOverhead), kHTChunkLimit) << path;
    for (const TGPXtrkseg& seg : *back.trk.GetTrack(0))
      for (const TPoint4D2& p : seg) {
        ++readBack;
        ASSERT_EQ(static_cast<int>(p.HBdepth) % kStep, 0) << path;
        const int x = view.LoToX(p.Longitude), y = view.LaToY(p.Latitude);
        ASSERT_TRUE(near(x, y, inMask) || (p.HBdepth == 0 && near(x, y, onShore))) << path << " " << x << "," << y;
      }
  }
  // Every point was written: each file's first point is its start position,
  // which reads back as no point.
  EXPECT_EQ(readBack + static_cast<std::int64_t>(files), contourPoints);
}

}  // namespace
