// "Interpolate" and "Save Image..." of the Interpolated Map page: the window's
// side of a run (what it disables and shows) and of its end.

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "app/CommandScope.h"
#include "app/ImageFiles.h"
#include "app/QtDispatcher.h"
#include "app/StandInControls.h"
#include "app/Unit1.h"
#include "app/logic/Dialogs.h"
#include "app/logic/FilePaths.h"
#include "app/logic/MapPicture.h"
#include "mapview/GPXDraw.h"

void TForm1::btnInterpolateClick() {
  RunCommand([this] {
    TWorkspace& ws = Workspace();
    if (!ws.FileLoaded()) return;
    if (const auto why = ws.CannotInterpolate()) {
      fDialogs->ShowError(*why);
      return;
    }
    const bool timerWasOn = Timer1->isActive();
    Timer1->stop();
    auto scope = std::make_unique<TRunScope>(this);
    // Put back on every way out before the workers run; from then on the run does.
    bool started = false;
    struct TRestore {
      TForm1& form;
      const bool& started;
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
    // The run uses these: their fields show them, also when they showed none.
    for (TUpDown* used : {udInterpolationWidth, udDontCareRadius, udSmoothingRuns}) used->ShowPosition();
    ws.SetExtrapolationRadius(udInterpolationWidth->Position());
    // The cut-off radius in the scale the view has now, whatever happened since
    // the last tick.
    UpdateMapInfo();
    ShowDontCareRadius(udDontCareRadius->Position());
    ws.PrepareSamples();
    pbInterpolate->setMaximum(ws.GPXView().Width() - 1);

    TInterpolationJob::TCallbacks callbacks;
    callbacks.Log = [this](const std::string& line) { Log(line); };
    callbacks.RunningChanged = [this](int running) { tbInterpolateThrds->SetSelEnd(running); };
    callbacks.Finished = [this] { InterpolationFinished(); };
    callbacks.Progress = this;
    fRunScope = std::move(scope);
    try {
      ws.StartInterpolation({tbInterpolatorStyle->value(), tbInterpolateThrds->value()}, *fDispatcher,
                            std::move(callbacks), fMakeInterpolator, fStartBand);
    } catch (...) {
      if (!Interpolating()) fRunScope.reset();
      throw;
    }
    started = true;
    setFixedSize(size());  // until "Start over"
  });
}

void TForm1::InterpolationFinished() {
  RunCommand(
      [this] {
        TWorkspace& ws = Workspace();
        std::unique_ptr<TRunScope> scope = std::move(fRunScope);
        pbInterpolate->hide();
        btnInterpolate->setEnabled(true);
        const std::string missing = ws.Job()->MissingColumnsText();
        if (!ws.CompleteInterpolation()) {  // stopped: no map
          scope.reset();
          if (fCloseWhenDone) {
            fCloseWhenDone = false;
            QTimer::singleShot(0, this, [this] { close(); });
          }
          return;
        }
        GridToPicture(ws.InterpolArray(), InterpolatedImage->Picture());
        const int runs = udSmoothingRuns->Position();
        for (int i = 0; i < runs; ++i) SmoothMap();
        DrawShoreLineTracks(InterpolatedImage->Canvas(), ws.GPXdata().trk);
        InterpolatedImage->Changed();
        scope.reset();  // the window and the cursor come back
        Timer1->start();
        btnInterpolSaveBMP->setEnabled(true);
        btnIsoMap->setEnabled(true);
        if (!missing.empty()) {
          Log("Interpolation failed for columns " + missing);
          fDialogs->ShowError("The interpolation failed for the columns " + missing +
                              ": they stay black on the map. The debug log has the reasons.");
        }
      },
      true);
}

void TForm1::SmoothMap() { ::SmoothMap(InterpolatedImage->Picture(), Workspace().ShadowArray()); }

void TForm1::DrawShoreLineTracks(TCanvas& surface, const TGPXtrkList& tracks) {
  Workspace().DrawShoreLineTracks(surface, tracks);
}

void TForm1::StepProgress() { pbInterpolate->setValue(pbInterpolate->value() + 1); }

void TForm1::btnInterpolSaveBMPClick() {
  RunCommand([this] {
    if (!Workspace().FileLoaded()) return;
    SavePictureAs(InterpolatedImage->Picture());
  });
}

void TForm1::SavePictureAs(const TBitmap& picture) {
  const auto path = fDialogs->SaveFile(
      {"Save image", "Bitmap Image|*.bmp|JPEG Image|*.jpg", "bmp", "", ""});
  if (!path) return;
  std::error_code ec;
  if (std::filesystem::exists(*path, ec) && !fDialogs->AskYesNo("Overwrite " + *path + " ?")) return;
  const std::string ext = LowerExtension(*path);
  if (ext == ".bmp") {
    if (!picture.SaveToFile(*path)) fDialogs->ShowError("Cannot write " + *path);
  } else if (ext == ".jpg") {
    if (!SaveJPEG(picture, *path, 90)) fDialogs->ShowError("Cannot write " + *path);
  } else {
    fDialogs->ShowError("File extension not supported: " + *path);
  }
}
