// The main window's pages and controls, their show handlers and the preview of
// the area to interpolate.

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/CommandScope.h"
#include "app/FormControls.h"
#include "app/StandInControls.h"
#include "app/Unit1.h"
#include "mapview/GPXDraw.h"

using namespace formcontrols;

namespace {
const char* const kAboutText =
    "Shoalwright\n\n"
    "Turns the depth recordings of a Humminbird echo sounder (HT track files, GPX tracks with depth) and the\n"
    "shore lines of a lake (KML, or GPX without depth) into a depth map, traces its iso-depth contours and\n"
    "writes them back as HT files for the device and as GPX.\n\n"
    "1. Source Tracks: add the shore line and the depth recordings.\n"
    "2. Interpolated Map: interpolate the depth map.\n"
    "3. ISO Contour: trace the contour lines.\n"
    "4. HT Contour: write them as HT files for the SD card.\n";
}  // namespace

void TForm1::CreateControls() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  pcMain = Named(new QTabWidget(central), "pcMain");
  layout->addWidget(pcMain, 1);
  sbMain = Named(new TStatusBar(central), "sbMain");
  layout->addWidget(sbMain);
  setCentralWidget(central);

  // In the order of TPage.
  auto addPage = [this](QWidget* page, const char* name, const char* caption) {
    page->setObjectName(QString::fromLatin1(name));
    pcMain->addTab(page, QString::fromUtf8(caption));
    return page;
  };
  TabSheet1 = addPage(CreateSourceTracksPage(), "TabSheet1", "Source Tracks");
  TabSheet2 = addPage(CreateInterpolatedMapPage(), "TabSheet2", "Interpolated Map");
  TabSheet3 = addPage(CreateIsoContourPage(), "TabSheet3", "ISO Contour");
  TabSheet7 = addPage(CreateHtContourPage(), "TabSheet7", "HT Contour");
  TabSheet6 = addPage(CreateShoreLinePage(), "TabSheet6", "ShoreLine");
  TabSheet5 = addPage(CreateDebugPage(), "TabSheet5", "Debug");
  TabSheet8 = addPage(CreateAboutPage(), "TabSheet8", "About");

  sbMain->AddPanel(QStringLiteral("Properties"), 490);
  sbMain->AddPanel(QString(), 0);
  sbMain->AddPanel(QStringLiteral("min"), 30);
  sbMain->AddPanel(QStringLiteral("Gradient"), 150);
  sbMain->AddPanel(QStringLiteral("max"), 100);
  sbMain->AddPanel(QStringLiteral("Coord"), 150);
  sbMain->SetOwnerDraw(static_cast<int>(TStatusPanel::Gradient), [this](QPainter& painter, const QRect& rect) { sbMainDrawPanel(painter, rect); });

  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  ConnectMouse();
}

QWidget* TForm1::CreateSourceTracksPage() {
  auto* page = new QWidget();
  pnlTracks = WhitePanel(page, "pnlTracks");
  QVBoxLayout* column = ColumnPage(page, pnlTracks);

  QVBoxLayout* files = Group(column, page);
  btnAddFiles = Button(page, "btnAddFiles", "Add Files...",
                       "Add *.KML or *.GPX files without depth reading (i.e. exported from Google Earth) to setup "
                       "the shoreline and islands. Load *.GPX or *.HT files downloaded from your echo to setup "
                       "depth recordings. The options below will be applied on the track you'll load now.");
  BitBtn1 = Button(page, "BitBtn1", "Edit Project...", "Edit loaded tracks.");
  cbAddDepth = Named(new QCheckBox(QStringLiteral("Enter depth when loading data /wo depth"), page), "cbAddDepth");
  cbAddDepth->setToolTip(Hint(
      "This will allow you to load *.KML or *.GPX tracks and enter the depth for each track. You will be able to "
      "copy existing depth maps into your Humminbird device (You don't have to map! Yust add the files, enter the "
      "depth and export on this tab with \"Save Tracks...\" -> HT-File)"));
  cbAddOffset = Named(new QCheckBox(QStringLiteral("Enter depth offset (+/-)"), page), "cbAddOffset");
  cbAddOffset->setToolTip(Hint(
      "When enabling this checkbox, you will be asked to enter a depth offset which is applied to the next loaded "
      "tracks. The depth offset could be either positive or negative value in cm."));
  btnTrkSaveGPX = Button(page, "btnTrkSaveGPX", "Save Project...",
                         "Save all loaded data (shoreline and depth records) in a file. You could load this file the "
                         "next time using \"Add files...\"",
                         false);
  files->addWidget(btnAddFiles);
  files->addWidget(BitBtn1);
  files->addWidget(cbAddDepth);
  files->addWidget(cbAddOffset);
  files->addWidget(btnTrkSaveGPX);

  QVBoxLayout* view = Group(column, page);
  btnTrkFit = Button(page, "btnTrkFit", "Fit to Screen", "Fit all tracks to the viewport.", false);
  btnTrkZoom = Button(page, "btnTrkZoom", "Zoom Area", "Select a screen area to magnify.", false);
  btnTrkZoomIn = Button(page, "btnTrkZoomIn", "Zoom In", nullptr, false);
  btnTrkZoomOut = Button(page, "btnTrkZoomOut", "Zoom Out", nullptr, false);
  btnStartOver = Button(page, "btnStartOver", "Start over", "Clear all loaded data and start over.");
  for (QPushButton* b : {btnTrkFit, btnTrkZoom, btnTrkZoomIn, btnTrkZoomOut, btnStartOver}) view->addWidget(b);

  column->addStretch(1);
  QVBoxLayout* info = Group(column, page);
  lblMaxDepth = Label(page, "lblMaxDepth", "");
  lblMapSize = Label(page, "lblMapSize", "");
  lblImageSize = Label(page, "lblImageSize", "");
  lblResolution = Label(page, "lblResolution", "");
  for (QLabel* l : {lblMaxDepth, lblMapSize, lblImageSize, lblResolution}) info->addWidget(l);

  GPXImage = Named(new TImage(pnlTracks), "GPXImage");
  GPXImage->setCursor(Qt::SizeAllCursor);
  GPXImage->onResize = [this] { pnlTracksResize(); };
  FillPanel(pnlTracks, GPXImage);

  connect(btnAddFiles, &QPushButton::clicked, this, [this] { btnAddFilesClick(); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(btnStartOver, &QPushButton::clicked, this, [this] { btnStartOverClick(); });
  connect(btnTrkFit, &QPushButton::clicked, this, [this] { btnTrkFitClick(); });
  connect(btnTrkZoomIn, &QPushButton::clicked, this, [this] { btnTrkZoomInClick(); });
  connect(btnTrkZoomOut, &QPushButton::clicked, this, [this] { btnTrkZoomOutClick(); });
  connect(btnTrkSaveGPX, &QPushButton::clicked, this, [this] { btnTrkSaveGPXClick(); });
  return page;
}

QWidget* TForm1::CreateInterpolatedMapPage() {
  auto* page = new QWidget();
  pnlInterpolatedImage = WhitePanel(page, "pnlInterpolatedImage");
  QVBoxLayout* column = ColumnPage(page, pnlInterpolatedImage);

  QVBoxLayout* run = Group(column, page);
  btnInterpolate = Button(page, "btnInterpolate", "Interpolate",
                          "Start the interpolation process with the parameters set below.", false);
  run->addWidget(btnInterpolate);

  lblInterpolateThrds = Label(page, "lblInterpolateThrds", "CPUs for calculation:");
  tbInterpolateThrds = Named(new TTrackBar(page), "tbInterpolateThrds");
  tbInterpolateThrds->setToolTip(Hint("Number of CPU cores the mapping process will use."));
  tbInterpolateThrds->setRange(1, 1);
  run->addWidget(lblInterpolateThrds);
  run->addWidget(tbInterpolateThrds);

  lblInterpolateStyle = Label(page, "lblInterpolateStyle", "Interpolator Style:");
  tbInterpolatorStyle = Named(new TTrackBar(page), "tbInterpolatorStyle");
  tbInterpolatorStyle->setToolTip(Hint("Using this slider, you can influence the mapping style."));
  tbInterpolatorStyle->setRange(2, 14);
  tbInterpolatorStyle->setValue(8);
  run->addWidget(lblInterpolateStyle);
  run->addWidget(tbInterpolatorStyle);
  QHBoxLayout* ends = Row(run);
  ends->addWidget(new QLabel(QStringLiteral("smooth"), page));
  ends->addStretch(1);
  ends->addWidget(new QLabel(QStringLiteral("hard"), page));

  Label2 = Label(page, "Label2", "Extrapolation Radius");
  run->addWidget(Label2);
  QHBoxLayout* widthRow = Row(run);
  edtInterpolationWidth = DigitsEdit(page, "edtInterpolationWidth", "30", 3, true);
  edtInterpolationWidth->setToolTip(Hint(
      "This will specify the distance of extrapolation to the left and right side of any recorded track "));
  udInterpolationWidth = Named(new TUpDown(edtInterpolationWidth, 1, 999, 5, page), "udInterpolationWidth");
  lblInterpolationWidth = Label(page, "lblInterpolationWidth", "px");
  widthRow->addWidget(edtInterpolationWidth);
  widthRow->addWidget(udInterpolationWidth);
  widthRow->addWidget(lblInterpolationWidth, 1);

  Label8 = Label(page, "Label8", "Don't Care Radius");
  run->addWidget(Label8);
  QHBoxLayout* radiusRow = Row(run);
  edtDontCareRadius = DigitsEdit(page, "edtDontCareRadius", "60", 3, false);
  edtDontCareRadius->setToolTip(Hint(
      "Set this value to speed up the interpolation process by ignoring events outside the specified area. "
      "Should be set to two times the extrapolation radius for best results."));
  udDontCareRadius = Named(new TUpDown(edtDontCareRadius, 1, 999, 1, page), "udDontCareRadius");
  lblDontCareRadius = Label(page, "lblDontCareRadius", "px");
  radiusRow->addWidget(edtDontCareRadius);
  radiusRow->addWidget(udDontCareRadius);
  radiusRow->addWidget(lblDontCareRadius, 1);

  QHBoxLayout* smoothRow = Row(run);
  Label6 = Label(page, "Label6", "Apply Smoothing");
  edtSmoothingRuns = DigitsEdit(page, "edtSmoothingRuns", "2", 2, true);
  edtSmoothingRuns->setToolTip(Hint("Smooth the generated map. Default = 2"));
  udSmoothingRuns = Named(new TUpDown(edtSmoothingRuns, 0, 10, 1, page), "udSmoothingRuns");
  Label7 = Label(page, "Label7", "times");
  smoothRow->addWidget(Label6);
  smoothRow->addWidget(edtSmoothingRuns);
  smoothRow->addWidget(udSmoothingRuns);
  smoothRow->addWidget(Label7, 1);

  QVBoxLayout* save = Group(column, page);
  btnInterpolSaveBMP =
      Button(page, "btnInterpolSaveBMP", "Save Image...", "Save current view to a graphic file.", false);
  save->addWidget(btnInterpolSaveBMP);

  column->addStretch(1);
  QVBoxLayout* info = Group(column, page);
  lblMaxDepth1 = Label(page, "lblMaxDepth1", "");
  lblMapSize1 = Label(page, "lblMapSize1", "");
  lblImageSize1 = Label(page, "lblImageSize1", "");
  lblResolution1 = Label(page, "lblResolution1", "");
  for (QLabel* l : {lblMaxDepth1, lblMapSize1, lblImageSize1, lblResolution1}) info->addWidget(l);

  InterpolatedImage = Named(new TImage(pnlInterpolatedImage), "InterpolatedImage");
  InterpolatedImage->setCursor(Qt::CrossCursor);
  pbInterpolate = Named(new QProgressBar(pnlInterpolatedImage), "pbInterpolate");
  pbInterpolate->setTextVisible(false);
  FillPanel(pnlInterpolatedImage, InterpolatedImage, pbInterpolate);

  connect(btnInterpolate, &QPushButton::clicked, this, [this] { btnInterpolateClick(); });
  connect(btnInterpolSaveBMP, &QPushButton::clicked, this, [this] { btnInterpolSaveBMPClick(); });
  connect(tbInterpolateThrds, &QSlider::valueChanged, this, [this] { tbInterpolateThrdsChange(); });
  connect(tbInterpolatorStyle, &QSlider::valueChanged, this, [this] { tbInterpolatorStyleChange(); });
  return page;
}

QWidget* TForm1::CreateIsoContourPage() {
  auto* page = new QWidget();
  pnlIsoMap = WhitePanel(page, "pnlIsoMap");
  QVBoxLayout* column = ColumnPage(page, pnlIsoMap);

  QVBoxLayout* trace = Group(column, page);
  btnIsoMap = Button(page, "btnIsoMap", "ISO Map", "Creates an ISO style contour chart.", false);
  trace->addWidget(btnIsoMap);
  QHBoxLayout* step = Row(trace);
  Label3 = Label(page, "Label3", "Step size");
  edtIsoStep = DigitsEdit(page, "edtIsoStep", "100", 4, true);
  Label11 = Label(page, "Label11", "cm");
  step->addWidget(Label3);
  step->addWidget(edtIsoStep);
  step->addWidget(Label11, 1);

  QVBoxLayout* save = Group(column, page);
  btnIsoSaveBMP = Button(page, "btnIsoSaveBMP", "Save Image...", "Save current view to a graphic file.", false);
  btnIsoSaveGPX = Button(page, "btnIsoSaveGPX", "Save Tracks...", "Save current view to GPX", false);
  save->addWidget(btnIsoSaveBMP);
  save->addWidget(btnIsoSaveGPX);
  column->addStretch(1);

  IsoMap = Named(new TImage(pnlIsoMap), "IsoMap");
  pbIsoMap = Named(new QProgressBar(pnlIsoMap), "pbIsoMap");
  pbIsoMap->setTextVisible(false);
  FillPanel(pnlIsoMap, IsoMap, pbIsoMap);

  connect(btnIsoMap, &QPushButton::clicked, this, [this] { btnIsoMapClick(); });
  connect(btnIsoSaveBMP, &QPushButton::clicked, this, [this] { btnIsoSaveBMPClick(); });
  connect(btnIsoSaveGPX, &QPushButton::clicked, this, [this] { btnIsoSaveGPXClick(); });
  return page;
}

QWidget* TForm1::CreateHtContourPage() {
  auto* page = new QWidget();
  pnlHtTracks = WhitePanel(page, "pnlHtTracks");
  QVBoxLayout* column = ColumnPage(page, pnlHtTracks);

  QVBoxLayout* write = Group(column, page);
  btnCreateHT = Button(page, "btnCreateHT", "Create HT-File",
                       "This will create an HT file which could be uploaded to your Humminbird unit", false);
  lblHTState = Label(page, "lblHTState", "");
  Label4 = Label(page, "Label4", "Track name");
  edtTrackName = Named(new QLineEdit(QStringLiteral("NewTrack"), page), "edtTrackName");
  edtTrackName->setMaxLength(20);
  write->addWidget(btnCreateHT);
  write->addWidget(lblHTState);
  write->addWidget(Label4);
  write->addWidget(edtTrackName);

  QVBoxLayout* view = Group(column, page);
  btnHtFit = Button(page, "btnHtFit", "Fit to Screen", "Fit all tracks to the viewport.", false);
  btnHtZoom = Button(page, "btnHtZoom", "Zoom Area", "Select a screen area to magnify.", false);
  btnHtFit->setCheckable(true);
  btnHtZoom->setCheckable(true);
  view->addWidget(btnHtFit);
  view->addWidget(btnHtZoom);

  column->addStretch(1);
  QVBoxLayout* info = Group(column, page);
  lblNumIsoTracks = Label(page, "lblNumIsoTracks", "");
  lblGeneratedPoints = Label(page, "lblGeneratedPoints", "");
  lblWritePoints = Label(page, "lblWritePoints", "");
  for (QLabel* l : {lblNumIsoTracks, lblGeneratedPoints, lblWritePoints}) info->addWidget(l);

  IsoImage = Named(new TImage(pnlHtTracks), "IsoImage");
  IsoImage->setCursor(Qt::SizeAllCursor);
  FillPanel(pnlHtTracks, IsoImage);

  connect(btnCreateHT, &QPushButton::clicked, this, [this] { btnCreateHTClick(); });
  return page;
}

QWidget* TForm1::CreateShoreLinePage() {
  auto* page = new QWidget();
  auto* row = new QHBoxLayout(page);
  row->setContentsMargins(2, 2, 2, 2);
  auto* left = new QWidget(page);
  left->setFixedWidth(LeftColumnWidth());
  row->addWidget(left);
  ShoreLine = Named(new TImage(page), "ShoreLine");
  ShoreLine->setVisible(false);
  row->addWidget(ShoreLine, 1);
  return page;
}

QWidget* TForm1::CreateDebugPage() {
  auto* page = new QWidget();
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  memDebug = Named(new TMemo(page), "memDebug");
  memDebug->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memDebug->setEnabled(false);
  memDebug->onDblClick = [this] { memDebugDblClick(); };
  layout->addWidget(memDebug);
  return page;
}

QWidget* TForm1::CreateAboutPage() {
  auto* page = new QWidget();
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  Memo2 = Named(new TMemo(page), "Memo2");
  Memo2->setReadOnly(true);
  Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo2->setPlainText(QString::fromUtf8(kAboutText));
  layout->addWidget(Memo2);
  return page;
}


void TForm1::PageChanged(int index) {
  // The show and hide handlers of the pages, by the page that becomes current.
  QWidget* shown = pcMain->widget(index);
  if (fShownPage == TabSheet2 && shown != TabSheet2) TabSheet2Hide();
  fShownPage = shown;
  if (shown == TabSheet1) TabSheet1Show();
  else if (shown == TabSheet2) TabSheet2Show();
  else if (shown == TabSheet3) TabSheet3Show();
  else if (shown == TabSheet6) TabSheet6Show();
  else if (shown == TabSheet7) TabSheet7Show();
  else if (shown == TabSheet8) TabSheet8Show();
}

void TForm1::TabSheet1Show() {
  RunCommand(
      [this] {
        SetStatus(TStatusPanel::Status, "Add files to database and select mapping area");
        Timer1->start();
        SettleMapSize(TMapKind::Source);
      },
      true);
}

void TForm1::TabSheet2Show() {
  RunCommand(
      [this] {
        SetStatus(TStatusPanel::Status, "Generate an interpolated map");
        // During a run or a trace the mask and the view stay as they were taken.
        if (!Workspace().FileLoaded() || Interpolating() || Tracing()) return;
        Timer1->start();
        TWaitCursor hourglass;
        BuildShadowArray();
        if (!Workspace().InterpLoaded()) ShowPreview();
      },
      true);
}

void TForm1::TabSheet2Hide() {
  RunCommand([this] { Timer1->stop(); }, true);
}

void TForm1::TabSheet3Show() {
  RunCommand([this] { SetStatus(TStatusPanel::Status, "Create ISO style chart"); }, true);
}

void TForm1::TabSheet6Show() {
  RunCommand([this] {
    if (!Interpolating()) BuildShadowArray();
  });
}

void TForm1::TabSheet7Show() {
  RunCommand(
      [this] {
        SetStatus(TStatusPanel::Status, "Create a HT track of the ISO chart to upload");
        SettleMapSize(TMapKind::Contour);
      },
      true);
}

void TForm1::TabSheet8Show() {
  RunCommand([this] { SetStatus(TStatusPanel::Status, "Thank you!"); }, true);
}

void TForm1::tbInterpolateThrdsChange() {
  lblInterpolateThrds->setText(QStringLiteral("CPUs for calculation: ") + QString::number(tbInterpolateThrds->value()));
}

void TForm1::tbInterpolatorStyleChange() {
  lblInterpolateStyle->setText(QStringLiteral("Interpolator Style: ") + QString::number(tbInterpolatorStyle->value()));
}

void TForm1::ShowPreview() {
  // The grey strokes of the area to interpolate, with the tracks over them.
  TBitmap& picture = InterpolatedImage->Picture();
  picture.SetSize(0, 0);
  picture.SetSize(GPXImage->Picture().Width(), GPXImage->Picture().Height());
  picture.DrawTransparent(0, 0, Workspace().ShadowMap(), 0xFFFFFF);
  picture.DrawTransparent(0, 0, GPXImage->Picture(), 0xFFFFFF);
  InterpolatedImage->Changed();
}
