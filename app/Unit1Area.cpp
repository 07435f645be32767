// The interpolation area: the mask, the map figures, the two radii and their
// timer, and what changes the view's scale.

#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "app/StandInControls.h"
#include "app/Unit1.h"
#include "app/logic/StatusBarPanels.h"
#include "app/logic/WindowNumbers.h"
#include "mapview/GPXDraw.h"
#include "model/ColorInterpolate.h"

namespace {
QString RadiusText(int pixels, double metresPerPixel) {
  return QString::fromStdString("px = " + LocaleFixed(pixels * metresPerPixel, 1) + "m");
}
}  // namespace

void TForm1::DrawShoreLine() {
  Workspace().DrawShoreLine(ShoreLine->Picture());
  ShoreLine->Changed();
}

void TForm1::BuildShadowArray() {
  Workspace().BuildShadowArray(ShoreLine->Picture());
  ShoreLine->Changed();
}

void TForm1::UpdateMapInfo() {
  ShowMapInfo(Workspace().UpdateMapInfo(GPXImage->Picture().Width(), GPXImage->Picture().Height()));
}

void TForm1::ShowMapInfo(const TMapFigures& figures) {
  SetStatus(TStatusPanel::Max, figures.StatusMaxDepth());
  const std::pair<QLabel*, std::string> labels[] = {{lblMaxDepth, figures.MaxDepthText()},
                                                    {lblMapSize, figures.MapSizeText()},
                                                    {lblImageSize, figures.ImageSizeText()},
                                                    {lblResolution, figures.ResolutionText()},
                                                    {lblMaxDepth1, figures.MaxDepthText()},
                                                    {lblMapSize1, figures.MapSizeText()},
                                                    {lblImageSize1, figures.ImageSizeText()},
                                                    {lblResolution1, figures.ResolutionText()}};
  for (const auto& [label, text] : labels) label->setText(QString::fromStdString(text));
}

void TForm1::ApplyInterpolationWidth() {
  // The workspace has drawn the strokes with the new pen.
  ShowMap(TMapKind::Source);
  BuildShadowArray();
  TabSheet2Show();
}

void TForm1::ShowDontCareRadius(int R) {
  Workspace().ApplyDontCareRadius(R);
  lblDontCareRadius->setText(RadiusText(R, Workspace().MetresPerPixel()));
}

void TForm1::Timer1Timer() {
  RunCommand([this] {
    const TWorkspace::TTick tick =
        Workspace().TimerTick(udInterpolationWidth->Position(), udDontCareRadius->Position(), [this](int twice) {
          udDontCareRadius->SetPosition(twice);
          return udDontCareRadius->Position();
        });
    if (tick.ExtrapolationApplied) {
      udInterpolationWidth->ShowPosition();  // the radius applied, also when the field shows none
      ApplyInterpolationWidth();
      lblInterpolationWidth->setText(RadiusText(tick.Extrapolation, tick.MetresPerPixel));
    }
    if (tick.DontCareApplied) lblDontCareRadius->setText(RadiusText(tick.DontCare, tick.MetresPerPixel));
  });
}

void TForm1::ViewChanged() {
  ShowMap(TMapKind::Source);
  UpdateMapInfo();
}

void TForm1::btnTrkFitClick() {
  RunCommand([this] {
    Workspace().FitView();
    ViewChanged();
  });
}

void TForm1::btnTrkZoomInClick() {
  RunCommand([this] {
    Workspace().ZoomIn();
    ViewChanged();
  });
}

void TForm1::btnTrkZoomOutClick() {
  RunCommand([this] {
    Workspace().ZoomOut();
    ViewChanged();
  });
}

void TForm1::pnlTracksResize() {
  RunCommand([this] {
    if (fWorkspace) ResizeMap(TMapKind::Source);
  });
}

void TForm1::sbMainDrawPanel(QPainter& painter, const QRect& rect) {
  if (!fWorkspace) return;
  const TWorkspace& ws = Workspace();
  for (int column = 0; column < rect.width(); ++column) {
    const TColor c = GradientColumnColor(ws.clShallowWater(), ws.clDeepWater(), column, rect.width());
    painter.setPen(QColor(GetRValue(c), GetGValue(c), GetBValue(c)));
    painter.drawLine(rect.left() + column, rect.top(), rect.left() + column, rect.bottom());
  }
}
