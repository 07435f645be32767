#include "app/Unit1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>
#include <thread>

#include "app/CommandScope.h"
#include "app/QtDialogs.h"
#include "app/QtDispatcher.h"
#include "app/StandInControls.h"
#include "gridding/ShepardGridInterp.h"
#include "mapview/GPXDraw.h"
#include "model/GPX.h"
#include "platform/NumberText.h"

TForm1* Form1 = nullptr;

void InitApplication() { QApplication::setApplicationName(QStringLiteral("Shoalwright")); }

namespace {
constexpr int kClientWidth = 1004;
constexpr int kClientHeight = 677;
constexpr int kMinWidth = 850;
constexpr int kMinHeight = 600;
// 185 pixels at 120 dpi in the form; wider here so the check boxes' captions fit
// the fonts of this platform.
constexpr int kLeftColumn = 300;

QString Q(const std::string& s) { return QString::fromStdString(s); }

template <class W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint = nullptr,
                    bool enabled = true) {
  auto* b = Named(new QPushButton(QString::fromUtf8(caption), parent), name);
  if (hint) b->setToolTip(QString::fromUtf8(hint));
  b->setEnabled(enabled);
  return b;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption) {
  return Named(new QLabel(QString::fromUtf8(caption), parent), name);
}

QLineEdit* DigitsEdit(QWidget* parent, const char* name, const char* text, int maxLength, bool digitsOnly) {
  auto* e = Named(new QLineEdit(QString::fromUtf8(text), parent), name);
  e->setMaxLength(maxLength);
  if (digitsOnly) e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
  e->setFixedWidth(48);
  return e;
}

QWidget* WhitePanel(QWidget* parent, const char* name) {
  auto* p = Named(new QWidget(parent), name);
  p->setAutoFillBackground(true);
  QPalette pal = p->palette();
  pal.setColor(QPalette::Window, Qt::white);
  p->setPalette(pal);
  return p;
}

// A page with the left column of bordered groups and, to its right, the panel.
QWidget* ColumnPage(QWidget* page, QVBoxLayout*& column, QWidget* panel) {
  auto* row = new QHBoxLayout(page);
  row->setContentsMargins(2, 2, 2, 2);
  auto* left = new QWidget(page);
  left->setFixedWidth(kLeftColumn);
  column = new QVBoxLayout(left);
  column->setContentsMargins(0, 0, 0, 0);
  row->addWidget(left);
  row->addWidget(panel, 1);
  return page;
}

QVBoxLayout* Group(QVBoxLayout* column, QWidget* parent) {
  auto* box = new QGroupBox(parent);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(6, 6, 6, 6);
  column->addWidget(box);
  return layout;
}

QHBoxLayout* Row(QVBoxLayout* group) {
  auto* row = new QHBoxLayout();
  row->setContentsMargins(0, 0, 0, 0);
  group->addLayout(row);
  return row;
}

// The image fills its panel; a progress bar, when given, runs along its bottom.
void FillPanel(QWidget* panel, TImage* image, QProgressBar* progress = nullptr) {
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(image, 1);
  if (progress) {
    progress->setFixedHeight(21);
    progress->hide();
    layout->addWidget(progress);
  }
}

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

TForm1::TForm1() : TForm1(TOptions{}) {}

TForm1::TForm1(TOptions options)
    : QMainWindow(nullptr), fCpuCount(options.cpuCount), fMakeInterpolator(std::move(options.makeInterpolator)) {
  Form1 = this;
  if (options.dialogs) {
    fDialogs = options.dialogs;
  } else {
    fOwnDialogs = std::make_unique<TQtDialogs>(this);
    fDialogs = fOwnDialogs.get();
  }
  fDispatcher = std::make_unique<TQtDispatcher>();
  if (!fMakeInterpolator)
    fMakeInterpolator = [](std::shared_ptr<const TPointList> coord, std::shared_ptr<const TValueList> depth,
                           double power, double maxRadius, double minRadius, TMessageBox* messages) {
      return std::make_unique<TShepardGridInterp>(std::move(coord), std::move(depth), power, maxRadius, minRadius,
                                                  messages);
    };
  setObjectName("Form1");
  setWindowTitle(QStringLiteral("Quarnel: Tiderune 2D"));
  CreateControls();
  resize(kClientWidth, kClientHeight);
  setMinimumSize(kMinWidth, kMinHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  qApp->installEventFilter(this);  // key preview: the window sees every key first
  RunCommand([this] { FormCreate(); });
  // Show and hide handlers of the pages, by the page that becomes current.
  connect(pcMain, &QTabWidget::currentChanged, this, [this](int index) {
    QWidget* shown = pcMain->widget(index);
    if (fShownPage == TabSheet2 && shown != TabSheet2) TabSheet2Hide();
    fShownPage = shown;
    if (shown == TabSheet1) TabSheet1Show();
    else if (shown == TabSheet2) TabSheet2Show();
    else if (shown == TabSheet3) TabSheet3Show();
    else if (shown == TabSheet6) TabSheet6Show();
    else if (shown == TabSheet7) TabSheet7Show();
    else if (shown == TabSheet8) TabSheet8Show();
  });
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!fShownOnce) {
    fShownOnce = true;
    if (pcMain->currentWidget() == TabSheet1) TabSheet1Show();
  }
}

TForm1::~TForm1() {
  qApp->removeEventFilter(this);
  // Workers still running read the grids, the mask and the interpolator: hand
  // out no more bands and wait for those alive, pumping their calls meanwhile.
  if (fRun) {
    fCloseWhenDone = false;
    RequestStopRun();
    fDispatcher->PumpUntil([this] { return fRun == nullptr; }, std::chrono::hours(1));
  }
  FormDestroy();
  if (Form1 == this) Form1 = nullptr;
}

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

  pcMain->addTab(TabSheet1 = CreateSourceTracksPage(), QStringLiteral("Source Tracks"));
  pcMain->addTab(TabSheet2 = CreateInterpolatedMapPage(), QStringLiteral("Interpolated Map"));
  pcMain->addTab(TabSheet3 = CreateIsoContourPage(), QStringLiteral("ISO Contour"));
  pcMain->addTab(TabSheet7 = CreateHtContourPage(), QStringLiteral("HT Contour"));
  pcMain->addTab(TabSheet6 = CreateShoreLinePage(), QStringLiteral("ShoreLine"));
  pcMain->addTab(TabSheet5 = CreateDebugPage(), QStringLiteral("Debug"));
  pcMain->addTab(TabSheet8 = CreateAboutPage(), QStringLiteral("About"));
  TabSheet1->setObjectName("TabSheet1");
  TabSheet2->setObjectName("TabSheet2");
  TabSheet3->setObjectName("TabSheet3");
  TabSheet7->setObjectName("TabSheet7");
  TabSheet6->setObjectName("TabSheet6");
  TabSheet5->setObjectName("TabSheet5");
  TabSheet8->setObjectName("TabSheet8");

  sbMain->AddPanel(QStringLiteral("Properties"), 490);
  sbMain->AddPanel(QString(), 0);
  sbMain->AddPanel(QStringLiteral("min"), 30);
  sbMain->AddPanel(QStringLiteral("Gradient"), 150);
  sbMain->AddPanel(QStringLiteral("max"), 100);
  sbMain->AddPanel(QStringLiteral("Coord"), 150);
  sbMain->SetOwnerDraw(3, [this](QPainter& painter, const QRect& rect) { sbMainDrawPanel(painter, rect); });

  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

QWidget* TForm1::CreateSourceTracksPage() {
  auto* page = new QWidget();
  pnlTracks = WhitePanel(page, "pnlTracks");
  QVBoxLayout* column = nullptr;
  ColumnPage(page, column, pnlTracks);

  QVBoxLayout* files = Group(column, page);
  btnAddFiles = Button(page, "btnAddFiles", "Add Files...",
                       "Add *.KML or *.GPX files without depth reading (i.e. exported from Google Earth) to setup "
                       "the shoreline and islands. Load *.GPX or *.HT files downloaded from your echo to setup "
                       "depth recordings. The options below will be applied on the track you'll load now.");
  BitBtn1 = Button(page, "BitBtn1", "Edit Project...", "Edit loaded tracks.");
  cbAddDepth = Named(new QCheckBox(QStringLiteral("Enter depth when loading data /wo depth"), page), "cbAddDepth");
  cbAddDepth->setToolTip(QStringLiteral(
      "This will allow you to load *.KML or *.GPX tracks and enter the depth for each track. You will be able to "
      "copy existing depth maps into your Humminbird device (You don't have to map! Yust add the files, enter the "
      "depth and export on this tab with \"Save Tracks...\" -> HT-File)"));
  cbAddOffset = Named(new QCheckBox(QStringLiteral("Enter depth offset (+/-)"), page), "cbAddOffset");
  cbAddOffset->setToolTip(QStringLiteral(
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
  return page;
}

QWidget* TForm1::CreateInterpolatedMapPage() {
  auto* page = new QWidget();
  pnlInterpolatedImage = WhitePanel(page, "pnlInterpolatedImage");
  QVBoxLayout* column = nullptr;
  ColumnPage(page, column, pnlInterpolatedImage);

  QVBoxLayout* run = Group(column, page);
  btnInterpolate = Button(page, "btnInterpolate", "Interpolate",
                          "Start the interpolation process with the parameters set below.", false);
  run->addWidget(btnInterpolate);

  lblInterpolateThrds = Label(page, "lblInterpolateThrds", "CPUs for calculation:");
  tbInterpolateThrds = Named(new TTrackBar(page), "tbInterpolateThrds");
  tbInterpolateThrds->setToolTip(QStringLiteral("Number of CPU cores the mapping process will use."));
  tbInterpolateThrds->setRange(1, 1);
  run->addWidget(lblInterpolateThrds);
  run->addWidget(tbInterpolateThrds);

  lblInterpolateStyle = Label(page, "lblInterpolateStyle", "Interpolator Style:");
  tbInterpolatorStyle = Named(new TTrackBar(page), "tbInterpolatorStyle");
  tbInterpolatorStyle->setToolTip(QStringLiteral("Using this slider, you can influence the mapping style."));
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
  edtInterpolationWidth->setToolTip(QStringLiteral(
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
  edtDontCareRadius->setToolTip(QStringLiteral(
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
  edtSmoothingRuns->setToolTip(QStringLiteral("Smooth the generated map. Default = 2"));
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
  QVBoxLayout* column = nullptr;
  ColumnPage(page, column, pnlIsoMap);

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
  return page;
}

QWidget* TForm1::CreateHtContourPage() {
  auto* page = new QWidget();
  pnlHtTracks = WhitePanel(page, "pnlHtTracks");
  QVBoxLayout* column = nullptr;
  ColumnPage(page, column, pnlHtTracks);

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
  return page;
}

QWidget* TForm1::CreateShoreLinePage() {
  auto* page = new QWidget();
  auto* row = new QHBoxLayout(page);
  row->setContentsMargins(2, 2, 2, 2);
  auto* left = new QWidget(page);
  left->setFixedWidth(kLeftColumn);
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

void TForm1::FormCreate() {
  ShadowMap = std::make_unique<TBitmap>();
  InterpLoaded = false;
  SetStatus(2, "0m");
  SetStatus(4, "0m");
  for (QLabel* l : {lblMaxDepth, lblMaxDepth1, lblImageSize, lblImageSize1, lblMapSize, lblMapSize1, lblResolution,
                    lblResolution1, lblHTState, lblGeneratedPoints, lblWritePoints, lblNumIsoTracks})
    l->clear();
  SetStatus(5, "");
  Last_udInterpolationWidth = -1;
  Last_udDontCareRadius = -1;
  tbInterpolateThrdsChange();
  tbInterpolatorStyleChange();
  pcMain->setCurrentIndex(0);
  fShownPage = TabSheet1;
  pcMain->setTabVisible(4, false);
  pcMain->setTabVisible(5, false);
  clShallowWater = 0x00FF00;
  clDeepWater = 0xFF0000;

  GPXdata = std::make_unique<TGPX>();
  GPXView = std::make_unique<TGPXDraw>();
  GPXView->TrackWidth = 2;
  GPXView->Options.BackGroundColor = 0xFFFFFF;
  GPXView->DepthColorShallow = clShallowWater;
  GPXView->DepthColorDeep = clDeepWater;
  GPXView->ShadowMapEnabled = true;
  GPXView->ShadowMapTrackColor = 0xC0C0C0;
  FileLoaded = false;
  MaxDepth = 0;

  IsoData = std::make_unique<TGPX>();
  IsoView = std::make_unique<TGPXDraw>();
  IsoView->TrackWidth = 2;
  IsoView->Options.BackGroundColor = 0xFFFFFF;
  IsoView->DepthColorShallow = clShallowWater;
  IsoView->DepthColorDeep = clDeepWater;
  IsoView->ShadowMapEnabled = true;
  IsoLoaded = false;

  InCoord = std::make_shared<TPointList>();
  InDepth = std::make_shared<TValueList>();

  const unsigned n = GetCPUCount();
  tbInterpolateThrds->setMaximum(static_cast<int>(n));
  Log(numtext::FormatInt(tbInterpolateThrds->maximum()) + " CPUs found");
  tbInterpolateThrds->setValue(tbInterpolateThrds->maximum());
  tbInterpolateThrdsChange();
}

void TForm1::FormDestroy() {
  // The views only point at their documents and surfaces: they go first.
  GPXView.reset();
  GPXdata.reset();
  IsoView.reset();
  IsoData.reset();
  ShadowMap.reset();
}

unsigned TForm1::GetCPUCount() const {
  if (fCpuCount > 0) return fCpuCount;
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? n : 1;
}

void TForm1::ProcessMessages() { fDispatcher->Pump(); }

void TForm1::Log(const std::string& line) { memDebug->appendPlainText(Q(line)); }

std::vector<std::string> TForm1::LogLines() const {
  std::vector<std::string> lines;
  const QString text = memDebug->toPlainText();
  if (text.isEmpty()) return lines;
  for (const QString& l : text.split(QLatin1Char('\n'))) lines.push_back(l.toStdString());
  return lines;
}

void TForm1::SetStatus(int panel, const std::string& text) { sbMain->SetPanelText(panel, Q(text)); }

void TForm1::ShowException(const std::string& message) {
  // As the framework's own exception dialog: the error icon and an OK button.
  Log("Error: " + message);
  fDialogs->MessageDlg(message, TMsgDlgType::mtError, mbOK);
}

void TForm1::RunCommand(const std::function<void()>& body, bool whileBusy) {
  if (Busy() && !whileBusy) return;
  const bool wasBusy = fBusy;
  fBusy = true;
  try {
    body();
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException("Unknown error");
  }
  fBusy = wasBusy;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this) {
    // A key that travels up the widget tree is seen once per widget; the
    // handler does the same each time.
    FormKeyDown(static_cast<QKeyEvent*>(event)->key());
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormKeyDown(int key) {
  RunCommand(
      [&] {
        if (key == Qt::Key_F11) {
          pcMain->setTabVisible(4, true);
          pcMain->setTabVisible(5, true);
        }
        ShoreLine->setVisible(true);
        memDebug->setEnabled(true);
      },
      true);
}

void TForm1::memDebugDblClick() { memDebug->clear(); }

void TForm1::BitBtn1Click() {
  RunCommand(
      [this] {
        if (fProjectWindow) {
          fProjectWindow->show();
          fProjectWindow->raise();
        }
      },
      true);
}

void TForm1::btnStartOverClick() {
  RunCommand([this] {
    GPXView->Clear();
    GPXView->ForgetFreed(GPXdata.get());
    // The unlinked data stays alive until the tree no longer shows it.
    TGPXUnlinked loaded = GPXdata->Clear();
    FileLoaded = false;
    MaxDepth = 0;
    SetStatus(4, "0m");
    for (QLabel* l : {lblMaxDepth, lblMaxDepth1, lblMapSize, lblMapSize1, lblImageSize, lblImageSize1, lblResolution,
                      lblResolution1})
      l->clear();
    SetStatus(5, "");
    btnInterpolate->setEnabled(false);
    pbInterpolate->hide();
    btnInterpolSaveBMP->setEnabled(false);
    btnIsoMap->setEnabled(false);
    InterpLoaded = false;
    IsoLoaded = false;
    InterpolatedMap.reset();
    InterpolatedImage->Clear();
    IsoMap->Clear();
    InterpolArray.SetLength(0, 0);
    InterpolVArray.SetLength(0, 0);
    InCoord = std::make_shared<TPointList>();
    InDepth = std::make_shared<TValueList>();
    ShoreCoord.clear();
    ShoreDepth.clear();
    if (Form2) Form2->RefreshTV();
    IsoView->Clear();
    TGPXUnlinked contours = IsoData->Clear();
    for (QPushButton* b : {btnIsoSaveBMP, btnIsoSaveGPX, btnCreateHT, btnHtFit, btnHtZoom}) b->setEnabled(false);
    setMinimumSize(kMinWidth, kMinHeight);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  });
}

void TForm1::TabSheet1Show() {
  RunCommand(
      [this] {
        SetStatus(0, "Add files to database and select mapping area");
        Timer1->start();
      },
      true);
}

void TForm1::TabSheet2Show() {
  RunCommand(
      [this] {
        SetStatus(0, "Generate an interpolated map");
        // During a run the mask and the view stay as the run took them.
        if (!FileLoaded || Interpolating()) return;
        Timer1->start();
        TWaitCursor hourglass;
        BuildShadowArray();
        if (!InterpLoaded) ShowPreview();
      },
      true);
}

void TForm1::TabSheet2Hide() {
  RunCommand([this] { Timer1->stop(); }, true);
}

void TForm1::TabSheet3Show() {
  RunCommand([this] { SetStatus(0, "Create ISO style chart"); }, true);
}

void TForm1::TabSheet6Show() {
  RunCommand([this] {
    if (!Interpolating()) BuildShadowArray();
  });
}

void TForm1::TabSheet7Show() {
  RunCommand([this] { SetStatus(0, "Create a HT track of the ISO chart to upload"); }, true);
}

void TForm1::TabSheet8Show() {
  RunCommand([this] { SetStatus(0, "Thank you!"); }, true);
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
  picture.DrawTransparent(0, 0, *ShadowMap, 0xFFFFFF);
  picture.DrawTransparent(0, 0, GPXImage->Picture(), 0xFFFFFF);
  InterpolatedImage->Changed();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (fRun) {
    // The workers read what closing would free: stop handing out bands and close
    // once the bands still running have ended.
    fCloseWhenDone = true;
    RequestStopRun();
    Log("Closing after the running bands have ended");
    event->ignore();
    return;
  }
  if (fProjectWindow) fProjectWindow->close();
  QMainWindow::closeEvent(event);
}
