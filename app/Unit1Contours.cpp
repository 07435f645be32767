// The end of the main road: "ISO Map" and the contour pages ("Create HT-File",
// "Save Image...", "Save Tracks..."), and "Save Project..." of the Source Tracks
// page. The handlers do the cursor and the controls; the workspace and the
// contour output logic do the work.

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "app/CommandScope.h"
#include "app/StandInControls.h"
#include "app/Unit1.h"
#include "app/logic/ContourOutput.h"
#include "app/logic/Dialogs.h"
#include "gridding/MovingSquares.h"
#include "model/GPX.h"
#include "platform/NumberText.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string Int(std::int64_t v) { return numtext::FormatInt(v); }

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

// The tracer's way into the window: the progress bar, the message pump and the
// contour view, which shows what is traced so far after each level.
class TIsoMapWindow : public TIsoMapHost {
public:
  using TClock = std::chrono::steady_clock;

  TIsoMapWindow(QProgressBar& bar, std::function<void()> pump, std::function<void()> refresh)
      : fBar(bar), fPump(std::move(pump)), fRefresh(std::move(refresh)) {}

  // A progress bar whose maximum is 0 turns into a busy indicator.
  void SetIsoProgressMax(int maximum) override { fBar.setMaximum(std::max(1, maximum)); }
  // The last levels lie above the rounded maximum; out of range Qt would ignore them.
  void SetIsoProgress(int position) override { fBar.setValue(std::clamp(position, 0, fBar.maximum())); }
  void ProcessMessages() override { fPump(); }
  // Each refresh draws every contour traced so far, so with thousands of levels
  // refreshing after each would cost far more than the tracing: a level's refresh
  // is left out until four times as long as the last one took has passed, which
  // keeps the refreshes to a fifth of the time. The command shows the end result.
  void UpdateIsoImage() override {
    const TClock::time_point start = TClock::now();
    if (start - fLastEnd < kIdleFactor * fLastCost) return;
    fRefresh();
    fLastEnd = TClock::now();
    fLastCost = fLastEnd - start;
  }

private:
  static constexpr int kIdleFactor = 4;
  QProgressBar& fBar;
  std::function<void()> fPump;
  std::function<void()> fRefresh;
  TClock::time_point fLastEnd{};
  TClock::duration fLastCost{};
};
}  // namespace

// ---- "ISO Map" --------------------------------------------------------------------

void TForm1::btnIsoMapClick() {
  RunCommand([this] {
    TWorkspace& ws = Workspace();
    // Refused before anything is cleared.
    const TWorkspace::TContourStep step = ws.CheckContourStep(edtIsoStep->text().toStdString());
    if (!step.Error.empty()) {
      fDialogs->ShowError(step.Error);
      return;
    }
    // Tracing pumps messages once per level: until it ends, every command and
    // page handler that would change the data, the views or the mask holds off.
    struct TTracing {
      TForm1& form;
      TWaitCursor hourglass;
      TDisabledWidget button;
      explicit TTracing(TForm1& f) : form(f), button(f.btnIsoMap) {
        form.fTracing = true;
        form.pbIsoMap->setValue(0);
        form.pbIsoMap->show();
      }
      ~TTracing() {
        form.fTracing = false;
        form.pbIsoMap->hide();
      }
    };
    TGPXUnlinked unlinked;  // the old contours, alive until the view is bound again
    {
      const TTracing tracing(*this);
      IsoMap->Clear();
      unlinked = ws.ClearContours();
      TIsoMapWindow host(
          *pbIsoMap, [this] { ProcessMessages(); },
          [this] {
            IsoMap->Changed();
            UpdateIsoImage();
          });
      ws.TraceContours(IsoMap->Picture(), InterpolatedImage->Picture(), step.Step, &host);
      lblNumIsoTracks->setText(Q("# Tracks: " + Int(ws.IsoData().trk.Count())));
      lblGeneratedPoints->setText(Q("# Points: " + Int(CountPoints(ws.IsoData(), kHTOverhead))));
    }
    ws.AddShoreLinesToContours(IsoMap->Picture());
    IsoMap->Changed();
    UpdateIsoImage();
    // The cleared view pans again: its cursor and button show it.
    ShowMode(TMapKind::Contour, ws.MouseMode(TMapKind::Contour));
    for (QPushButton* b : {btnIsoSaveBMP, btnIsoSaveGPX, btnCreateHT, btnHtFit, btnHtZoom}) b->setEnabled(true);
    if (fCloseWhenDone) {
      fCloseWhenDone = false;
      QTimer::singleShot(0, this, [this] { close(); });
    }
  });
}

void TForm1::UpdateIsoImage() {
  Workspace().BindIsoView(IsoImage->Picture(), MapArea(TMapKind::Contour));
  ShowMap(TMapKind::Contour);
}

// ---- "Create HT-File" -----------------------------------------------------------------

void TForm1::btnCreateHTClick() {
  RunCommand([this] {
    const TWorkspace& ws = Workspace();
    const TWaitCursor hourglass;
    const TDisabledWidget button(btnCreateHT);
    lblHTState->setText(QStringLiteral("Checking dataset..."));
    Log("saving dataset ===================================");
    Log("splitting dataset ===================================");
    Log("#Points (total) is " + Int(CountPoints(ws.IsoData(), kHTOverhead)));
    const std::vector<THTChunk> chunks = PlanHTChunks(ws.IsoData());
    const std::string trackName = edtTrackName->text().toStdString();
    std::size_t written = 0;
    for (std::size_t f = 0; f < chunks.size(); ++f) {
      const THTChunk& chunk = chunks[f];
      const std::string number = ChunkNumber(static_cast<int>(f));
      Log("iterate =====" + number + "======");
      Log("n_towrite is " + Int(chunk.ToWrite));
      Log("n of IsoDataWrite " + Int(chunk.Counted));
      // In the working folder, which a confirmed dialog moves: the next chunk is
      // proposed where this one went.
      const auto path = fDialogs->SaveFile({"Save ISO Lines as HT Track", "HT-Track|*.ht", "ht", "", number + ".ht"});
      if (!path) continue;  // this chunk is skipped, the next one is offered
      if (Exists(*path) && !fDialogs->AskYesNo("Overwrite existing " + *path + " ?")) {
        // The command ends here; the label must not go on reading as if it were still at work.
        lblHTState->setText(Q(written == 0 ? std::string("Not written")
                                           : "Stopped: " + Int(static_cast<std::int64_t>(written)) + " of " +
                                                 Int(static_cast<std::int64_t>(chunks.size())) + " files written"));
        return;
      }
      lblHTState->setText(QStringLiteral("Writing to HT file..."));
      written += WriteHTFile(*fDialogs, *chunk.Data, trackName, *path) ? 1 : 0;
    }
    lblHTState->setText(QStringLiteral("done"));
    fDialogs->ShowMessage(HTUploadInstructions());
  });
}

// ---- the ISO Contour page's saves ---------------------------------------------------------

void TForm1::btnIsoSaveBMPClick() {
  RunCommand([this] {
    if (!Workspace().FileLoaded()) return;
    SavePictureAs(IsoMap->Picture());
  });
}

void TForm1::btnIsoSaveGPXClick() {
  RunCommand([this] { Workspace().SaveContourTracks(); });
}

// ---- "Save Project..." ----------------------------------------------------------------------

void TForm1::btnTrkSaveGPXClick() {
  RunCommand([this] { Workspace().SaveProject(); });
}
