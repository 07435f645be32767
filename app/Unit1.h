#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QMainWindow>

#include "app/CommandScope.h"
#include "app/logic/InterpolationArea.h"
#include "app/logic/InterpolationJob.h"
#include "app/logic/Workspace.h"
#include "mapview/GPXDraw.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPainter;
class QProgressBar;
class QPushButton;
class QRect;
class QTabWidget;
class QTimer;
class QWidget;

class TCanvas;
class TDialogs;
class TGPXtrkList;
class TImage;
class TMemo;
class TQtDispatcher;
class TStatusBar;
class TTrackBar;
class TUpDown;

// The pages of pcMain, by position.
enum class TPage : int { SourceTracks, InterpolatedMap, IsoContour, HtContour, ShoreLine, Debug, About };

// The panels of sbMain, by position.
enum class TStatusPanel : int {
  Status,    // status and prompt texts of the commands and pages
  Unused,    // carries nothing
  Min,       // "0m"; a click picks the shallow colour
  Gradient,  // the shallow-to-deep gradient, drawn by the program
  Max,       // the maximum depth; a click picks the deep colour
  Coord,     // the coordinates under the mouse
};

// What the main window asks of the project window (the window, not the tree
// model of app/logic/ProjectTree.h): rebuilding its tree.
class TProjectWindow {
public:
  virtual ~TProjectWindow() = default;
  virtual void RefreshTV() = 0;
  // The source map's mouse mode changed: the delete buttons show whether theirs is on.
  virtual void MapModeChanged(TMouseMode /*mode*/) {}
  // The main window became busy or idle: the commands it would run show it.
  virtual void BusyChanged(bool /*busy*/) {}
};

// The main window. It owns the workspace (the data, the views and everything
// derived from them); its handlers read the controls, call the workspace and
// show the results. Every handler runs through RunCommand, so no error ever
// crosses Qt's event loop, and a command that fails still restores the cursor and
// what it disabled. Controls are private: tests find them by their object names,
// which are the form's names.
//
// The frame is in Unit1.cpp, the pages in Unit1Pages.cpp, and the workflow by
// area in Unit1Loading.cpp, Unit1Area.cpp and Unit1Interpolation.cpp.
class TForm1 : public QMainWindow, private TInterpolationProgress {
public:
  struct TOptions {
    TDialogs* dialogs = nullptr;  // null: the Qt dialogs
    unsigned cpuCount = 0;        // 0: the processors of this machine
    TInterpolationJob::TInterpolatorFactory makeInterpolator;  // empty: the fast Shepard interpolator
    TInterpolationJob::TBandStarter startBand;                 // empty: a worker thread per band
  };

  TForm1();
  explicit TForm1(TOptions options);
  ~TForm1() override;

  // The state both windows share; the project window reaches the data only here.
  TWorkspace& Workspace() { return *fWorkspace; }
  const TWorkspace& Workspace() const { return *fWorkspace; }

  // The project window that "Edit Project..." shows, and its tree.
  void SetProjectWindow(QWidget* window, TProjectWindow* tree) {
    fProjectWindow = window;
    Form2 = tree;
  }

  unsigned GetCPUCount() const;
  void ProcessMessages();
  TDialogs& Dialogs() { return *fDialogs; }
  TQtDispatcher& Dispatcher() { return *fDispatcher; }

  // One line at the end of the debug memo.
  void Log(const std::string& line);
  std::vector<std::string> LogLines() const;

  // True while a command or an interpolation run is going on: every command
  // checks it and does nothing then.
  bool Busy() const { return fBusy || Interpolating(); }
  // The size limit "Start over" restores: 850 x 600, or the screen's area when smaller.
  QSize RestoredMinimumSize() const { return fMinimumSize; }
  bool Interpolating() const { return fWorkspace && fWorkspace->Interpolating(); }

  void SetStatus(TStatusPanel panel, const std::string& text);
  void ShowPage(TPage page);

  // ---- handlers (Sender omitted: none of them reads it) -----------------------
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
  // Unit1Contours.cpp
  void btnIsoMapClick();
  void UpdateIsoImage();
  void btnCreateHTClick();
  void btnIsoSaveBMPClick();
  void btnIsoSaveGPXClick();
  void btnTrkSaveGPXClick();
  // True while "ISO Map" traces: the data, the views and the mask must stay.
  bool Tracing() const { return fTracing; }
  // ---- the maps' mouse, view buttons, readouts and status bar (Unit1Mouse.cpp) ----
  // Mouse handlers get the button, the held keys and buttons, and the position in
  // the picture, as TImage reports them.
  void GPXImageMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y);
  void GPXImageMouseMove(Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y);
  void GPXImageMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y);
  void btnTrkZoomClick();
  void IsoImageMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y);
  void IsoImageMouseMove(Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y);
  void IsoImageMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y);
  void btnHtFitClick();
  void btnHtZoomClick();
  void IsoMapMouseMove(Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y);
  void InterpolatedImageMouseMove(Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y);
  void pnlInterpolatedImageResize();
  void pnlHtTracksResize();
  void sbMainClick(int x, int y);
  // What the workspace answered to a mouse event or a mode button of a map: the
  // mode's cursor and button, the status texts, the picture, the area, the
  // figures and the project tree, as it says.
  void ShowMouseResult(TMapKind map, const TMouseResult& result);
  // The map's picture shown anew, after the workspace drew on it.
  void ShowMap(TMapKind map);

  // ---- workflow steps the handlers share ----------------------------------------
  // The files of a confirmed "Add Files..." dialog, in order.
  void AddFiles(const std::vector<std::string>& files);
  void BuildShadowArray();
  void DrawShoreLine();
  static bool PtInRgn(std::span<const TPoint> Points, TPoint P) { return ::PtInRgn(Points, P); }
  void UpdateMapInfo();
  void ApplyInterpolationWidth();
  void SmoothMap();
  void DrawShoreLineTracks(TCanvas& surface, const TGPXtrkList& tracks);

protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // What a run holds from its start until its last band has ended.
  struct TRunScope {
    explicit TRunScope(QWidget* window) : window(window) {}
    TWaitCursor hourglass;
    TDisabledWidget window;
  };

  // Unit1Pages.cpp
  void CreateControls();
  QWidget* CreateSourceTracksPage();
  QWidget* CreateInterpolatedMapPage();
  QWidget* CreateIsoContourPage();
  QWidget* CreateHtContourPage();
  QWidget* CreateShoreLinePage();
  QWidget* CreateDebugPage();
  QWidget* CreateAboutPage();
  void PageChanged(int index);
  void ShowPreview();

  // Unit1.cpp
  void FormCreate();
  void FormDestroy();
  void PlaceOnScreen();
  // Runs a handler body: nothing while Busy() (unless `whileBusy`), every error
  // shown in the error dialog; `fBusy` is held for the body's duration.
  void RunCommand(const std::function<void()>& body, bool whileBusy = false);
  void ShowException(const std::string& message);
  void ClearMapLabels();

  // Unit1Loading.cpp
  TLoadOptions LoadOptions() const;
  void BindView();

  // Unit1Area.cpp
  void ShowMapInfo(const TMapFigures& figures);
  void ShowDontCareRadius(int R);
  void ViewChanged();  // after a fit, zoom or resize: the map and its figures shown anew

  // Unit1Mouse.cpp
  void ConnectMouse();  // the maps' mouse, the view buttons and the status bar
  TViewProjection PictureProjection() const;
  void ReportBusy();  // to the project window, when Busy() has changed
  // A mouse event on a map, handed to the workspace and its answer shown.
  void OnMapMouse(TMapKind map, TMouseResult (TWorkspace::*event)(TMapKind, const TMouseInput&),
                  const TMouseInput& input);
  // The cursor of the map and the button of its mode.
  void ShowMode(TMapKind map, TMouseMode mode);
  // The map's picture as the window shows it now.
  TImage* MapImage(TMapKind map) const;
  TMapArea MapArea(TMapKind map) const;
  // When a map was bound while its page was hidden: once the page shows, its
  // layout is done and the view takes the size the user sees.
  void SettleMapSize(TMapKind map);
  // The view takes the map's new size (the resize handlers' work).
  void ResizeMap(TMapKind map);

  // Unit1Interpolation.cpp
  void InterpolationFinished();
  void StepProgress() override;
  // "Save Image..." of a map page: the dialog, the overwrite question, BMP or JPEG.
  void SavePictureAs(const TBitmap& picture);

  // ---- pages and controls -------------------------------------------------------
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

  // ---- state -----------------------------------------------------------------------
  TProjectWindow* Form2 = nullptr;  // the project window's tree, when there is one
  std::unique_ptr<TDialogs> fOwnDialogs;
  TDialogs* fDialogs = nullptr;
  unsigned fCpuCount = 0;
  TInterpolationJob::TInterpolatorFactory fMakeInterpolator;
  TInterpolationJob::TBandStarter fStartBand;
  std::unique_ptr<TQtDispatcher> fDispatcher;
  std::unique_ptr<TWorkspace> fWorkspace;
  std::unique_ptr<TRunScope> fRunScope;
  bool fBusy = false;
  bool fReportedBusy = false;
  bool fCloseWhenDone = false;
  bool fTracing = false;
  QWidget* fShownPage = nullptr;
  bool fShownOnce = false;
  QWidget* fProjectWindow = nullptr;
  QSize fMinimumSize;
};

// The main window, while one exists.
extern TForm1* Form1;

// The application's set-up before the first window: its title and where the
// windows' numbers take their decimal separator from.
void InitApplication();
