// The main window as a frame: creation and destruction, the handler guard, the
// debug log, keys, "Start over" and closing.

#include "app/Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <exception>
#include <thread>

#include "app/QtDialogs.h"
#include "app/QtDispatcher.h"
#include "app/StandInControls.h"
#include "app/logic/WindowNumbers.h"
#include "gridding/ShepardGridInterp.h"
#include "mapview/GPXDraw.h"
#include "platform/NumberText.h"

TForm1* Form1 = nullptr;

void InitApplication() {
  QApplication::setApplicationName(QStringLiteral("Shoalwright"));
  qApp->installEventFilter(new TToolTipWrapper(qApp));
  SetDecimalSeparatorSource([] { return QLocale().decimalPoint().toStdString(); });
}

namespace {
constexpr int kClientWidth = 1004;
constexpr int kClientHeight = 677;
constexpr int kMinWidth = 850;
constexpr int kMinHeight = 600;
// Room for the title bar and borders that the window manager adds, which are
// unknown before the window is first shown.
constexpr QMargins kFrameAllowance(8, 40, 8, 8);
}  // namespace

TForm1::TForm1() : TForm1(TOptions{}) {}

TForm1::TForm1(TOptions options)
    : QMainWindow(nullptr),
      fCpuCount(options.cpuCount),
      fMakeInterpolator(std::move(options.makeInterpolator)),
      fStartBand(std::move(options.startBand)) {
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
  PlaceOnScreen();
  qApp->installEventFilter(this);  // key preview: the window sees every key first
  RunCommand([this] { FormCreate(); });
  connect(pcMain, &QTabWidget::currentChanged, this, [this](int index) { PageChanged(index); });
}

void TForm1::PlaceOnScreen() {
  // Within the screen's available area, also on a small or scaled screen.
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, kClientWidth, kClientHeight);
  const QRect client = PlaceWithin(available, {kClientWidth, kClientHeight}, {kMinWidth, kMinHeight}, kFrameAllowance);
  fMinimumSize = QSize(kMinWidth, kMinHeight).boundedTo(client.size());
  setMinimumSize(fMinimumSize);
  resize(client.size());
  move(client.topLeft() - QPoint(kFrameAllowance.left(), kFrameAllowance.top()));
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
  if (Interpolating()) {
    fCloseWhenDone = false;
    fWorkspace->StopInterpolation();
    fDispatcher->PumpUntil([this] { return !Interpolating(); }, std::chrono::hours(1));
  }
  FormDestroy();
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::FormCreate() {
  SetStatus(TStatusPanel::Min, "0m");
  SetStatus(TStatusPanel::Max, "0m");
  ClearMapLabels();
  for (QLabel* l : {lblHTState, lblGeneratedPoints, lblWritePoints, lblNumIsoTracks}) l->clear();
  tbInterpolateThrdsChange();
  tbInterpolatorStyleChange();
  pcMain->setCurrentIndex(static_cast<int>(TPage::SourceTracks));
  fShownPage = TabSheet1;
  pcMain->setTabVisible(static_cast<int>(TPage::ShoreLine), false);
  pcMain->setTabVisible(static_cast<int>(TPage::Debug), false);
  fWorkspace = std::make_unique<TWorkspace>(*fDialogs, [this](const std::string& line) { Log(line); });

  const unsigned n = GetCPUCount();
  tbInterpolateThrds->setMaximum(static_cast<int>(n));
  Log(numtext::FormatInt(tbInterpolateThrds->maximum()) + " CPUs found");
  tbInterpolateThrds->setValue(tbInterpolateThrds->maximum());
  tbInterpolateThrdsChange();
}

void TForm1::FormDestroy() { fWorkspace.reset(); }

unsigned TForm1::GetCPUCount() const {
  if (fCpuCount > 0) return fCpuCount;
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? n : 1;
}

void TForm1::ProcessMessages() { fDispatcher->Pump(); }

void TForm1::Log(const std::string& line) { memDebug->appendPlainText(QString::fromStdString(line)); }

std::vector<std::string> TForm1::LogLines() const {
  std::vector<std::string> lines;
  const QString text = memDebug->toPlainText();
  if (text.isEmpty()) return lines;
  for (const QString& l : text.split(QLatin1Char('\n'))) lines.push_back(l.toStdString());
  return lines;
}

void TForm1::SetStatus(TStatusPanel panel, const std::string& text) {
  sbMain->SetPanelText(static_cast<int>(panel), QString::fromStdString(text));
}

void TForm1::ShowPage(TPage page) { pcMain->setCurrentIndex(static_cast<int>(page)); }

void TForm1::ClearMapLabels() {
  for (QLabel* l : {lblMaxDepth, lblMaxDepth1, lblMapSize, lblMapSize1, lblImageSize, lblImageSize1, lblResolution,
                    lblResolution1})
    l->clear();
  SetStatus(TStatusPanel::Coord, "");
}

void TForm1::ShowException(const std::string& message) {
  // As the framework's own exception dialog: the error icon and an OK button.
  Log("Error: " + message);
  fDialogs->MessageDlg(message, TMsgDlgType::mtError, mbOK);
}

void TForm1::RunCommand(const std::function<void()>& body, bool whileBusy) {
  if (Busy() && !whileBusy) return;
  const bool wasBusy = fBusy;
  fBusy = true;
  ReportBusy();
  try {
    body();
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException("Unknown error");
  }
  fBusy = wasBusy;
  ReportBusy();
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
          pcMain->setTabVisible(static_cast<int>(TPage::ShoreLine), true);
          pcMain->setTabVisible(static_cast<int>(TPage::Debug), true);
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
    // The unlinked data stays alive until the tree no longer shows it.
    const TWorkspace::TUnlinkedData unlinked = fWorkspace->StartOver();
    // The cleared views pan again and show nothing: cursors, mode buttons and
    // the pictures on screen follow.
    for (const TMapKind map : {TMapKind::Source, TMapKind::Contour}) {
      ShowMode(map, fWorkspace->MouseMode(map));
      ShowMap(map);
    }
    SetStatus(TStatusPanel::Max, "0m");
    ClearMapLabels();
    // The radii's metres belonged to the old view.
    lblInterpolationWidth->setText(QStringLiteral("px"));
    lblDontCareRadius->setText(QStringLiteral("px"));
    btnInterpolate->setEnabled(false);
    pbInterpolate->hide();
    btnInterpolSaveBMP->setEnabled(false);
    btnIsoMap->setEnabled(false);
    InterpolatedImage->Clear();
    IsoMap->Clear();
    if (Form2) Form2->RefreshTV();
    for (QPushButton* b : {btnIsoSaveBMP, btnIsoSaveGPX, btnCreateHT, btnHtFit, btnHtZoom}) b->setEnabled(false);
    setMinimumSize(fMinimumSize);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  });
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (fTracing) {
    // The tracer still draws into this window: close once it has ended.
    fCloseWhenDone = true;
    event->ignore();
    return;
  }
  if (Interpolating()) {
    // The workers read what closing would free: stop handing out bands and close
    // once the bands still running have ended.
    fCloseWhenDone = true;
    fWorkspace->StopInterpolation();
    Log("Closing after the running bands have ended");
    event->ignore();
    return;
  }
  if (fProjectWindow) fProjectWindow->close();
  QMainWindow::closeEvent(event);
}
