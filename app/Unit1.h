#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QMainWindow>

#include "app/CommandScope.h"
#include "app/InterpolationArea.h"
#include "app/InterpolationRun.h"
#include "gridding/ShepardThread.h"
#include "model/CommonTypes.h"

class QCheckBox;
class QKeyEvent;
class QPainter;
class QRect;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class QWidget;

class TDialogs;
class TGPX;
class TGPXDraw;
class TGPXtrkList;
class TImage;
class TMemo;
class TQtDispatcher;
class TStatusBar;
class TTrackBar;
class TUpDown;
class TCanvas;

// What the main window asks of the project window: rebuilding its tree.
class TProjectTree {
public:
  virtual ~TProjectTree() = default;
  virtual void RefreshTV() = 0;
};

// The main window. Its controls carry the names of the form (also as their Qt
// object names); its state fields follow them. Every handler runs through
// RunCommand, so no error ever crosses Qt's event loop, and a command that fails
// still restores the cursor and what it disabled.
class TForm1 : public QMainWindow, private TInterpolationProgress {
public:
  // Makes the interpolator of a run from its samples, power and radii.
  using TInterpolatorFactory = std::function<std::unique_ptr<TDepthInterpolator>(
      std::shared_ptr<const TPointList> coord, std::shared_ptr<const TValueList> depth, double power,
      double maxRadius, double minRadius, TMessageBox* messages)>;

  struct TOptions {
    TDialogs* dialogs = nullptr;  // null: the Qt dialogs
    unsigned cpuCount = 0;        // 0: the processors of this machine
    TInterpolatorFactory makeInterpolator;  // empty: the fast Shepard interpolator
  };

  TForm1();
  explicit TForm1(TOptions options);
  ~TForm1() override;

  // ---- pages and controls -------------------------------------------------
  QTabWidget* pcMain = nullptr;
  QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr, *TabSheet7 = nullptr,
          *TabSheet6 = nullptr, *TabSheet5 = nullptr, *TabSheet8 = nullptr;

  // Source Tracks
  QPushButton *btnAddFiles = nullptr, *BitBtn1 = nullptr;
  QCheckBox *cbAddDepth = nullptr, *cbAddOffset = nullptr;
  QPushButton *btnTrkSaveGPX = nullptr, *btnTrkFit = nullptr, *btnTrkZoom = nullptr, *btnTrkZoomIn = nullptr,
              *btnTrkZoomOut = nullptr, *btnStartOver = nullptr;
  QLabel *lblMaxDepth = nullptr, *lblMapSize = nullptr, *lblImageSize = nullptr, *lblResolution = nullptr;
  QWidget* pnlTracks = nullptr;
  TImage* GPXImage = nullptr;

  // Interpolated Map
  QPushButton* btnInterpolate = nullptr;
  QLabel* lblInterpolateThrds = nullptr;
  TTrackBar* tbInterpolateThrds = nullptr;
  QLabel* lblInterpolateStyle = nullptr;
  TTrackBar* tbInterpolatorStyle = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* edtInterpolationWidth = nullptr;
  TUpDown* udInterpolationWidth = nullptr;
  QLabel* lblInterpolationWidth = nullptr;
  QLabel* Label8 = nullptr;
  QLineEdit* edtDontCareRadius = nullptr;
  TUpDown* udDontCareRadius = nullptr;
  QLabel* lblDontCareRadius = nullptr;
  QLabel *Label6 = nullptr, *Label7 = nullptr;
  QLineEdit* edtSmoothingRuns = nullptr;
  TUpDown* udSmoothingRuns = nullptr;
  QPushButton* btnInterpolSaveBMP = nullptr;
  QLabel *lblMaxDepth1 = nullptr, *lblMapSize1 = nullptr, *lblImageSize1 = nullptr, *lblResolution1 = nullptr;
  QWidget* pnlInterpolatedImage = nullptr;
  TImage* InterpolatedImage = nullptr;
  QProgressBar* pbInterpolate = nullptr;

  // ISO Contour
  QPushButton* btnIsoMap = nullptr;
  QLabel* Label3 = nullptr;
  QLineEdit* edtIsoStep = nullptr;
  QLabel* Label11 = nullptr;
  QPushButton *btnIsoSaveBMP = nullptr, *btnIsoSaveGPX = nullptr;
  QWidget* pnlIsoMap = nullptr;
  TImage* IsoMap = nullptr;
  QProgressBar* pbIsoMap = nullptr;

  // HT Contour
  QPushButton* btnCreateHT = nullptr;
  QLabel* lblHTState = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* edtTrackName = nullptr;
  QPushButton *btnHtFit = nullptr, *btnHtZoom = nullptr;
  QLabel *lblNumIsoTracks = nullptr, *lblGeneratedPoints = nullptr, *lblWritePoints = nullptr;
  QWidget* pnlHtTracks = nullptr;
  TImage* IsoImage = nullptr;

  // ShoreLine, Debug, About
  TImage* ShoreLine = nullptr;
  TMemo* memDebug = nullptr;
  TMemo* Memo2 = nullptr;

  TStatusBar* sbMain = nullptr;
  QTimer* Timer1 = nullptr;

  // ---- state ----------------------------------------------------------------
  std::int32_t ThreadsRunning = 0;
  std::int32_t ThreadsID = 0;
  std::int32_t ThreadsTasks = 0;
  std::int32_t ThreadsRun = 0;
  double DecimateLongitude = 0;
  double DecimateLatitude = 0;
  std::int32_t Last_udInterpolationWidth = -1;
  std::int32_t Last_udDontCareRadius = -1;
  bool FileLoaded = false;
  bool InterpLoaded = false;
  bool IsoLoaded = false;
  // The samples of the current run: the shore samples of the last rebuild
  // followed by every track point, built afresh for each run.
  std::shared_ptr<TPointList> InCoord;
  std::shared_ptr<TValueList> InDepth;
  TColorArray InterpolArray;
  TDoubleArray InterpolVArray;
  TBooleanArray ShadowArray;
  std::int32_t MaxDepth = 0;
  double maxDontCareRadius = 0;
  double minDontCareRadius = 0;
  std::unique_ptr<TGPXDraw> GPXView;
  std::unique_ptr<TGPX> GPXdata;
  std::unique_ptr<TGPXDraw> IsoView;
  std::unique_ptr<TGPX> IsoData;
  TColor clShallowWater = 0x00FF00;
  TColor clDeepWater = 0xFF0000;
  std::unique_ptr<TBitmap> ShadowMap;  // the view's shadow map as of the last rebuild (preview)
  // The zero-depth samples along the shore lines of the last rebuild.
  TPointList ShoreCoord;
  TValueList ShoreDepth;
  // What the map on the Interpolated Map page was computed with; set when a run
  // completes.
  std::optional<TInterpolatedMap> InterpolatedMap;
  TProjectTree* Form2 = nullptr;  // the project window's tree, when there is one
  // The project window that "Edit Project..." shows, and its tree.
  void SetProjectWindow(QWidget* window, TProjectTree* tree) {
    fProjectWindow = window;
    Form2 = tree;
  }

  // ---- interfaces -------------------------------------------------------------
  unsigned GetCPUCount() const;
  void ProcessMessages();
  TDialogs& Dialogs() { return *fDialogs; }
  TQtDispatcher& Dispatcher() { return *fDispatcher; }

  // One line at the end of the debug memo.
  void Log(const std::string& line);
  std::vector<std::string> LogLines() const;

  // True while a command or an interpolation run is going on: every command
  // checks it and does nothing then.
  bool Busy() const { return fBusy || fRun != nullptr; }
  bool Interpolating() const { return fRun != nullptr; }

  // Handlers (Sender omitted: none of them reads it).
  void FormKeyDown(int key);
  void btnStartOverClick();
  void memDebugDblClick();
  void BitBtn1Click();
  void TabSheet1Show();
  void TabSheet2Show();
  void TabSheet2Hide();
  void TabSheet3Show();
  void TabSheet6Show();
  void TabSheet7Show();
  void TabSheet8Show();
  void tbInterpolateThrdsChange();
  void tbInterpolatorStyleChange();
  void Timer1Timer();
  void btnAddFilesClick();
  void btnInterpolateClick();
  void btnInterpolSaveBMPClick();
  void btnTrkFitClick();
  void btnTrkZoomInClick();
  void btnTrkZoomOutClick();
  void sbMainDrawPanel(QPainter& painter, const QRect& rect);
  void pnlTracksResize();

  // Adding files: the files of a confirmed dialog, in order. The dialog itself is
  // in btnAddFilesClick.
  void AddFiles(const std::vector<std::string>& files);
  void LoadHTFile(const std::string& FileName);
  void LoadGPXFile(const std::string& FileName);
  void LoadKMLFile(const std::string& FileName);

  // Interpolation area.
  void BuildShadowArray();
  void DrawShoreLine();
  static bool PtInRgn(std::span<const TPoint> Points, TPoint P) { return ::PtInRgn(Points, P); }
  void UpdateMapInfo();
  void ApplyInterpolationWidth();
  // After every change of the view's scale: the next tick turns the don't-care
  // radius into degrees of the new scale.
  void ScaleChanged();

  // Interpolation run.
  void SmoothMap();
  void DrawShoreLineTracks(TCanvas& surface, const TGPXtrkList& tracks);
  // The number of the first failed band's columns after the last run, for tests.
  const std::vector<TBand>& FailedBands() const { return fFailedBands; }

protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // An interpolation run from its start to the callback of its last band.
  struct TRunState {
    explicit TRunState(QWidget* window) : window(window) {}
    TWaitCursor hourglass;
    TDisabledWidget window;
    std::unique_ptr<TDepthInterpolator> interpolator;
    TInterpolatedMap map;  // what the run computes with; its mask is what the workers read
    TInterpolationRun run;
    std::vector<TBand> bands;
    bool stop = false;  // hand out no further band
    std::vector<std::pair<TBand, std::string>> failed;
  };

  void CreateControls();
  QWidget* CreateSourceTracksPage();
  QWidget* CreateInterpolatedMapPage();
  QWidget* CreateIsoContourPage();
  QWidget* CreateHtContourPage();
  QWidget* CreateShoreLinePage();
  QWidget* CreateDebugPage();
  QWidget* CreateAboutPage();
  void FormCreate();
  void FormDestroy();

  // Runs a handler body: nothing while Busy() (unless `whileBusy`), every error
  // shown in the error dialog; `fBusy` is held for the body's duration.
  void RunCommand(const std::function<void()>& body, bool whileBusy = false);
  void ShowException(const std::string& message);

  void SetStatus(int panel, const std::string& text);
  std::int32_t ReadInterpolationWidth() const;
  void ApplyDontCareRadius(int R);
  double MetresPerPixel() const;
  void ShowPreview();
  void BindView();

  void StartBand(std::size_t index, bool first);
  // Hands out no further band; the run ends when the running ones have.
  void RequestStopRun();
  void InterpolateThreadTerminate(TShepardThread& sender);
  void CompleteRun();

  void StepProgress() override;

  std::unique_ptr<TDialogs> fOwnDialogs;
  TDialogs* fDialogs = nullptr;
  unsigned fCpuCount = 0;
  TInterpolatorFactory fMakeInterpolator;
  std::unique_ptr<TQtDispatcher> fDispatcher;
  bool fBusy = false;
  bool fCloseWhenDone = false;
  std::unique_ptr<TRunState> fRun;
  std::vector<TBand> fFailedBands;
  QWidget* fShownPage = nullptr;
  bool fShownOnce = false;
  QWidget* fProjectWindow = nullptr;
};

// The main window, while one exists.
extern TForm1* Form1;

// The application's set-up before the first window: its title.
void InitApplication();
