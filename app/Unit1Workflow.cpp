// The workflow of the main window: adding files, the interpolation area and the
// interpolation run.

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "app/CommandScope.h"
#include "app/DepthPreparation.h"
#include "app/Dialogs.h"
#include "app/ImageFiles.h"
#include "app/QtDispatcher.h"
#include "app/StandInControls.h"
#include "app/Unit1.h"
#include "app/WindowNumbers.h"
#include "formats/HTConvert.h"
#include "mapview/GPXDraw.h"
#include "model/ColorInterpolate.h"
#include "model/GPX.h"
#include "platform/NumberText.h"
#include "platform/SafeFile.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string Int(std::int64_t v) { return numtext::FormatInt(v); }

// The text of an edit read as an integer, as the framework's conversion does.
std::int32_t ReadInteger(const QLineEdit* edit) {
  const std::string text = edit->text().trimmed().toStdString();
  const auto value = numtext::ParseInt(text);
  if (!value || *value < INT32_MIN || *value > INT32_MAX)
    throw std::invalid_argument("'" + text + "' is not a valid integer value");
  return static_cast<std::int32_t>(*value);
}

std::string CurrentFolder() { return QDir::currentPath().toStdString(); }

// The converter's refusals go to the error dialog.
class TDialogErrorSink : public THTErrorSink {
public:
  explicit TDialogErrorSink(TDialogs& dialogs) : fDialogs(dialogs) {}
  void ShowError(const std::string& text) override { fDialogs.ShowError(text); }

private:
  TDialogs& fDialogs;
};
}  // namespace

// ---- adding files -------------------------------------------------------------

void TForm1::btnAddFilesClick() {
  RunCommand([this] {
    TDisabledWidget window(this);
    const std::vector<std::string> files =
        fDialogs->OpenFiles({"", "GPX, KML or HT files|*.gpx;*.kml;*.ht", CurrentFolder(), true});
    if (files.empty()) return;
    AddFiles(files);
  });
}

void TForm1::AddFiles(const std::vector<std::string>& files) {
  TWaitCursor hourglass;
  for (const std::string& path : files) {
    const std::string ext = LowerExtension(path);
    if (ext == ".gpx")
      LoadGPXFile(path);
    else if (ext == ".kml")
      LoadKMLFile(path);
    else if (ext == ".ht")
      LoadHTFile(path);
    else
      fDialogs->ShowError("File extension not supported: " + path);
  }
  Last_udInterpolationWidth = -1;
  Last_udDontCareRadius = -1;
  FileLoaded = true;
  BindView();
  BuildShadowArray();
  UpdateMapInfo();
  if (Form2) Form2->RefreshTV();
  for (QPushButton* b : {btnTrkFit, btnTrkZoom, btnTrkZoomIn, btnTrkZoomOut, btnTrkSaveGPX}) b->setEnabled(true);
}

void TForm1::BindView() {
  TBitmap& picture = GPXImage->Picture();
  picture.SetSize(GPXImage->width(), GPXImage->height());
  GPXView->Canvas = &picture.Canvas();
  GPXView->Resize(picture.Width(), picture.Height());
  GPXView->filled = false;
  GPXView->ResetBBox(true, true);
  GPXView->Redraw();
  GPXImage->Changed();
}

void TForm1::LoadHTFile(const std::string& FileName) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(FileName, ec)) return;
  Log("LoadHTFile: Trying to open " + FileName);
  TGPX T;
  TDialogErrorSink errors(*fDialogs);
  THTConvert converter(&T, "", FileName, &errors);
  try {
    converter.ReadHT();
  } catch (const EFileError& e) {
    // A file that cannot be read adds nothing; the other files still load.
    fDialogs->ShowError(e.what());
    return;
  }
  Log("LoadHTFile: Appending HT Track: " + converter.sTrackName);
  std::int32_t d = GetMaxDepth(T);
  Log("LoadHTFile: GetMaxDepth is " + Int(d));
  if (d != 0) {
    Log("LoadHTFile: Track has valid depth readings");
    Log("LoadHTFile: Removing all 0m readings");
    RemoveZeroDepth(T);
  }
  const std::string name = FileNameOnly(FileName) + "Track: " + converter.sTrackName;
  if (cbAddDepth->isChecked() && d == 0) {
    std::int32_t v = AskCentimetres(*fDialogs, "Apply depth to dataset", name + " Depth [cm]:");
    if (v < 0) v = 0;
    SetDepth(T, v);
    d = v;
  }
  if (cbAddOffset->isChecked()) {
    const std::int32_t o = AskCentimetres(*fDialogs, "Add value to dataset", name + " Add Depth [cm]:");
    AddDepth(T, o);
    d += o;
  }
  StampMaxDepth(T, d);
  GPXdata->trk.CopyFrom(T.trk);
  MaxDepth = GetMaxDepth(*GPXdata);
  GPXView->MaxDepth = MaxDepth;
  GPXView->ShadowMapTrackWidth = ReadInterpolationWidth();
  GPXView->GPXd = GPXdata.get();
  btnInterpolate->setEnabled(true);
  ProcessMessages();
}

void TForm1::LoadGPXFile(const std::string& FileName) {
  fDialogs->ShowError("GPX files cannot be read yet: " + FileName);
}

void TForm1::LoadKMLFile(const std::string& FileName) {
  fDialogs->ShowError("KML files cannot be read yet: " + FileName);
}

std::int32_t TForm1::ReadInterpolationWidth() const { return ReadInteger(edtInterpolationWidth); }

// ---- interpolation area ---------------------------------------------------------

void TForm1::DrawShoreLine() {
  TBitmap& picture = ShoreLine->Picture();
  picture.SetSize(GPXImage->Picture().Width(), GPXImage->Picture().Height());
  GPXView->GenerateAllShorelinePolygons();
  PaintShoreLine(picture, GPXView->ShorelinePolygons);
  ShoreLine->Changed();
}

void TForm1::BuildShadowArray() {
  const int width = GPXView->Width();
  const int height = GPXView->Height();
  ShadowMap->SetSize(width, height);
  // A white frame: the view's outermost rows and columns are never interpolated.
  TCanvas& shadow = GPXView->ShadowMap.Canvas();
  shadow.Brush.Color = 0xFFFFFF;
  shadow.Brush.Style = TBrushStyle::bsSolid;
  shadow.FrameRect({0, 0, width, height});
  DrawShoreLine();
  CombineMask(GPXView->ShadowMap, ShoreLine->Picture(), GPXView->Projection(), ShadowArray, ShoreCoord, ShoreDepth);
  *ShadowMap = GPXView->ShadowMap;
}

void TForm1::UpdateMapInfo() {
  const std::string maxDepth = Int(GPXView->MaxDepth);
  SetStatus(4, maxDepth + " cm");
  lblMaxDepth->setText(Q("Max Depth: " + maxDepth + " cm"));
  lblMaxDepth1->setText(lblMaxDepth->text());

  const int W = GPXView->Width();
  const int H = GPXView->Height();
  TPoint4D2 origin;
  origin.Longitude = GPXView->XToLo(0);
  origin.Latitude = GPXView->YToLa(0);
  const auto widthM = static_cast<std::int64_t>(
      std::nearbyint(origin.WGS84Distance(GPXView->XToLo(W - 1), GPXView->YToLa(0), false)));
  const auto heightM = static_cast<std::int64_t>(
      std::nearbyint(origin.WGS84Distance(GPXView->XToLo(0), GPXView->YToLa(H - 1), false)));
  const int imageW = GPXImage->Picture().Width();
  const int imageH = GPXImage->Picture().Height();
  lblMapSize->setText(Q("Area: " + Int(widthM) + " x " + Int(heightM) + " m"));
  lblImageSize->setText(Q("Screen Size: " + Int(imageW) + " x " + Int(imageH) + " px"));
  lblResolution->setText(Q("Resolution: " + Int(imageW ? widthM * 100 / imageW : 0) + " x " +
                           Int(imageH ? heightM * 100 / imageH : 0) + " cm"));
  lblMapSize1->setText(lblMapSize->text());
  lblImageSize1->setText(lblImageSize->text());
  lblResolution1->setText(lblResolution->text());

  const TBBox& box = GPXView->BBox;
  DecimateLongitude = W > 0 ? std::fabs(box.E - box.O) / W : 0;
  DecimateLatitude = W > 0 ? std::fabs(box.N - box.S) / W : 0;
}

void TForm1::ApplyInterpolationWidth() {
  GPXView->ShadowMapTrackWidth = ReadInterpolationWidth();
  GPXView->Redraw();
  GPXImage->Changed();
  BuildShadowArray();
  TabSheet2Show();
}

double TForm1::MetresPerPixel() const {
  TPoint4D2 origin;
  origin.Longitude = GPXView->XToLo(0);
  origin.Latitude = GPXView->YToLa(0);
  const double a = origin.WGS84Distance(GPXView->XToLo(1), GPXView->YToLa(0));
  const double b = origin.WGS84Distance(GPXView->XToLo(0), GPXView->YToLa(1));
  return (a + b) / 2;
}

void TForm1::ApplyDontCareRadius(int R) {
  lblDontCareRadius->setText(Q("px = " + LocaleFixed(R * MetresPerPixel(), 1) + "m"));
  maxDontCareRadius = std::fabs(GPXView->XToLo(1) - GPXView->XToLo(R));
  minDontCareRadius = std::fabs(GPXView->XToLo(0) - GPXView->XToLo(1));
  Last_udDontCareRadius = R;
}

void TForm1::Timer1Timer() {
  RunCommand([this] {
    if (!FileLoaded) return;
    const int r = udInterpolationWidth->Position();
    if (r != Last_udInterpolationWidth) {
      ApplyInterpolationWidth();
      lblInterpolationWidth->setText(Q("px = " + LocaleFixed(r * MetresPerPixel(), 1) + "m"));
      udDontCareRadius->SetPosition(2 * r);
      Last_udInterpolationWidth = r;
    }
    const int R = udDontCareRadius->Position();
    if (R != Last_udDontCareRadius) ApplyDontCareRadius(R);
  });
}

void TForm1::ScaleChanged() { Last_udDontCareRadius = -1; }

void TForm1::btnTrkFitClick() {
  RunCommand([this] {
    GPXView->ResetBBox(true, true);
    GPXView->Redraw();
    GPXImage->Changed();
    UpdateMapInfo();
    ScaleChanged();
  });
}

void TForm1::btnTrkZoomInClick() {
  RunCommand([this] {
    GPXView->ZoomIn();
    GPXView->Redraw();
    GPXImage->Changed();
    UpdateMapInfo();
    Last_udInterpolationWidth = -1;
    Last_udDontCareRadius = -1;
  });
}

void TForm1::btnTrkZoomOutClick() {
  RunCommand([this] {
    GPXView->ZoomOut();
    GPXView->Redraw();
    GPXImage->Changed();
    UpdateMapInfo();
    Last_udInterpolationWidth = -1;
    Last_udDontCareRadius = -1;
  });
}

void TForm1::pnlTracksResize() {
  RunCommand([this] {
    ShoreLine->Picture().SetSize(GPXView->Width(), GPXView->Height());
    if (!FileLoaded) return;
    TBitmap& picture = GPXImage->Picture();
    picture.SetSize(GPXImage->width(), GPXImage->height());
    GPXView->Resize(picture.Width(), picture.Height());
    GPXView->Redraw();
    GPXImage->Changed();
    UpdateMapInfo();
    ScaleChanged();
  });
}

void TForm1::sbMainDrawPanel(QPainter& painter, const QRect& rect) {
  for (int x = rect.left(); x < rect.left() + rect.width(); ++x) {
    const TColor c = InterpolateColor(clShallowWater, clDeepWater,
                                      static_cast<double>(x - rect.left()) / static_cast<double>(rect.width()));
    painter.setPen(QColor(GetRValue(c), GetGValue(c), GetBValue(c)));
    painter.drawLine(x, rect.top(), x, rect.bottom());
  }
}

// ---- interpolation run ------------------------------------------------------------

void TForm1::btnInterpolateClick() {
  RunCommand([this] {
    if (!FileLoaded) return;
    MaxDepth = GetMaxDepth(*GPXdata);
    if (MaxDepth <= 0) {
      fDialogs->ShowError(
          "Nothing to interpolate: the loaded data holds no depth (maximum depth 0 cm). Load depth recordings, "
          "or enter a depth when loading tracks without depth.");
      return;
    }
    if (GPXView->Width() <= 0 || GPXView->Height() <= 0) {
      fDialogs->ShowError("Nothing to interpolate: the map view has no pixels.");
      return;
    }
    const bool timerWasOn = Timer1->isActive();
    Timer1->stop();
    auto state = std::make_unique<TRunState>(this);
    // Put back on every way out before the workers run; from then on the run does.
    bool started = false;
    struct TRestore {
      TForm1& form;
      bool& started;
      bool timerWasOn;
      ~TRestore() {
        if (started) return;
        form.btnInterpolate->setEnabled(true);
        form.pbInterpolate->hide();
        if (timerWasOn) form.Timer1->start();
      }
    } restore{*this, started, timerWasOn};
    btnInterpolate->setEnabled(false);
    pbInterpolate->setValue(0);
    pbInterpolate->show();
    BuildShadowArray();
    GPXView->ShadowMapTrackWidth = ReadInterpolationWidth();
    // The cut-off radius in the scale the view has now, whatever happened since
    // the last tick.
    UpdateMapInfo();
    ApplyDontCareRadius(udDontCareRadius->Position());
    Log("Interpolate: DecimateLatitude is " + LocaleGeneral(DecimateLatitude));
    Log("Interpolate: DecimateLongitude is " + LocaleGeneral(DecimateLongitude));
    GPXView->ForgetFreed(GPXdata.get());  // the thinning frees points the view may point at
    DecimateTracks(*GPXdata, DecimateLatitude, DecimateLongitude);

    auto coord = std::make_shared<TPointList>(ShoreCoord);
    auto depth = std::make_shared<TValueList>(ShoreDepth);
    AppendTrackSamples(*GPXdata, *coord, *depth);
    InCoord = coord;
    InDepth = depth;
    Log("Interpolate: maxDontCareRadius is " + LocaleGeneral(maxDontCareRadius));
    Log("Interpolate: minDontCareRadius is " + LocaleGeneral(minDontCareRadius));
    state->interpolator =
        fMakeInterpolator(coord, depth, tbInterpolatorStyle->value(), maxDontCareRadius, minDontCareRadius, fDialogs);

    const int W = GPXView->Width();
    const int H = GPXView->Height();
    InterpolArray.SetLength(W, H);
    InterpolVArray.SetLength(W, H);
    pbInterpolate->setMaximum(W - 1);

    TInterpolatedMap& map = state->map;
    map.Projection = GPXView->Projection();
    map.Width = W;
    map.Height = H;
    map.MaxDepth = MaxDepth;
    map.Shallow = clShallowWater;
    map.Deep = clDeepWater;
    map.Mask.SetLength(W, H);
    for (int x = 0; x < W; ++x)
      for (int y = 0; y < H; ++y) map.Mask[x][y] = ShadowArray[x][y];

    TInterpolationRun& run = state->run;
    run.Image = &InterpolArray;
    run.Values = &InterpolVArray;
    run.ShadowArray = &map.Mask;
    run.ShepardInterp = state->interpolator.get();
    run.MaxDepth = MaxDepth;
    run.clShallow = clShallowWater;
    run.clDeep = clDeepWater;
    run.View = map.Projection;
    run.WindowThread = fDispatcher.get();
    run.Progress = this;

    state->bands = PlanBands(W);
    ThreadsTasks = static_cast<std::int32_t>(state->bands.size());
    Log("Num Tasks: " + Int(ThreadsTasks));
    // Never more workers than bands.
    ThreadsRun = std::min(tbInterpolateThrds->value(), ThreadsTasks);
    ThreadsRunning = 0;
    ThreadsID = 0;
    fFailedBands.clear();
    InterpLoaded = false;
    setFixedSize(size());  // until "Start over"
    fRun = std::move(state);
    started = true;
    for (int k = 1; k <= ThreadsRun; ++k) StartBand(static_cast<std::size_t>(k - 1), true);
    tbInterpolateThrds->SetSelEnd(ThreadsRunning);
    if (ThreadsRunning == 0) CompleteRun();  // no band could be started
  });
}

void TForm1::StartBand(std::size_t index, bool first) {
  const TBand band = fRun->bands[index];
  ThreadsID = static_cast<std::int32_t>(index + 1);
  try {
    TThdsInterpolate::Start(fRun->run, band.First, band.Last,
                            [this](TShepardThread& sender) { InterpolateThreadTerminate(sender); });
  } catch (const std::exception& e) {
    // A band that cannot start is a failed band; the run goes on without it.
    Log("Band not started: " + Int(band.First) + "     " + Int(band.Last) + ": " + e.what());
    fRun->failed.push_back({band, e.what()});
    return;
  }
  ++ThreadsRunning;
  Log(std::string(first ? "Start Thread: " : "Add Thread: ") + Int(band.First) + "     " + Int(band.Last));
}

void TForm1::RequestStopRun() {
  if (fRun) fRun->stop = true;
}

void TForm1::InterpolateThreadTerminate(TShepardThread& sender) {
  // Runs in the window thread from the event loop; no exception may leave it.
  RunCommand(
      [&] {
        if (!fRun) return;
        if (const std::exception_ptr error = sender.FatalException()) {
          std::string message = "unknown error";
          try {
            std::rethrow_exception(error);
          } catch (const std::exception& e) {
            message = e.what();
          } catch (...) {
          }
          const TBand band{sender.XStart(), sender.XStop()};
          Log("Band failed: " + Int(band.First) + "     " + Int(band.Last) + ": " + message);
          fRun->failed.push_back({band, message});
        }
        --ThreadsRunning;
        // Bands that fail to start end nothing; keep handing out until one runs.
        while (!fRun->stop && ThreadsID < ThreadsTasks) {
          const std::int32_t before = ThreadsRunning;
          StartBand(static_cast<std::size_t>(ThreadsID), false);
          if (ThreadsRunning > before) break;
        }
        tbInterpolateThrds->SetSelEnd(ThreadsRunning);
        if (ThreadsRunning == 0) CompleteRun();
      },
      true);
}

void TForm1::CompleteRun() {
  std::unique_ptr<TRunState> state = std::move(fRun);
  state->interpolator.reset();
  for (const auto& [band, message] : state->failed) fFailedBands.push_back(band);
  std::sort(fFailedBands.begin(), fFailedBands.end(),
            [](const TBand& a, const TBand& b) { return a.First < b.First; });
  pbInterpolate->hide();
  btnInterpolate->setEnabled(true);
  if (state->stop) {
    Log("Interpolation stopped");
    state.reset();
    if (fCloseWhenDone) {
      fCloseWhenDone = false;
      QTimer::singleShot(0, this, [this] { close(); });
    }
    return;
  }
  GridToPicture(InterpolArray, InterpolatedImage->Picture());
  const int runs = udSmoothingRuns->Position();
  for (int i = 0; i < runs; ++i) SmoothMap();
  DrawShoreLineTracks(InterpolatedImage->Canvas(), GPXdata->trk);
  InterpolatedImage->Changed();
  InterpolatedMap = std::move(state->map);
  state.reset();  // the window and the cursor come back
  Timer1->start();
  btnInterpolSaveBMP->setEnabled(true);
  btnIsoMap->setEnabled(true);
  InterpLoaded = true;
  if (!fFailedBands.empty()) {
    std::string columns;
    for (const TBand& band : fFailedBands)
      columns += (columns.empty() ? "" : ", ") + Int(band.First) + "-" + Int(band.Last);
    Log("Interpolation failed for columns " + columns);
    fDialogs->ShowError("The interpolation failed for the columns " + columns +
                        ": they stay black on the map. The debug log has the reasons.");
  }
}

void TForm1::SmoothMap() { ::SmoothMap(InterpolatedImage->Picture(), ShadowArray); }

void TForm1::DrawShoreLineTracks(TCanvas& surface, const TGPXtrkList& tracks) {
  surface.Pen.Width = GPXView->TrackWidth;
  surface.Pen.Color = clShallowWater;
  for (const TGPXtrk& trk : tracks)
    for (const TGPXtrkseg& seg : trk) {
      if (seg.maxdepth != 0 || seg.Count() == 0) continue;
      const TPoint4D2& first = *seg.GetPoint(0);
      surface.MoveTo(GPXView->Point4D2ToX(first), GPXView->Point4D2ToY(first));
      for (int i = 1; i < seg.Count(); ++i) {
        const TPoint4D2& p = *seg.GetPoint(i);
        const std::int64_t x = GPXView->Point4D2ToX(p), y = GPXView->Point4D2ToY(p);
        if (x == surface.PenPos.X && y == surface.PenPos.Y) continue;
        surface.LineTo(x, y);
      }
    }
}

void TForm1::StepProgress() { pbInterpolate->setValue(pbInterpolate->value() + 1); }

void TForm1::btnInterpolSaveBMPClick() {
  RunCommand([this] {
    if (!FileLoaded) return;
    const auto path =
        fDialogs->SaveFile({"Save image", "Bitmap Image|*.bmp|JPEG Image|*.jpg", "bmp", CurrentFolder(), ""});
    if (!path) return;
    std::error_code ec;
    if (std::filesystem::exists(*path, ec) && !fDialogs->AskYesNo("Overwrite " + *path + " ?")) return;
    const std::string ext = LowerExtension(*path);
    const TBitmap& picture = InterpolatedImage->Picture();
    if (ext == ".bmp") {
      if (!picture.SaveToFile(*path)) fDialogs->ShowError("Cannot write " + *path);
    } else if (ext == ".jpg") {
      if (!SaveJPEG(picture, *path, 90)) fDialogs->ShowError("Cannot write " + *path);
    } else {
      fDialogs->ShowError("File extension not supported: " + *path);
    }
  });
}
