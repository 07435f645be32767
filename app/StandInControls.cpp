#include "app/StandInControls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QScreen>
#include <QToolTip>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/logic/StatusBarPanels.h"
#include "platform/NumberText.h"

TUpDown::TUpDown(QLineEdit* associate, int min, int max, int increment, QWidget* parent)
    : QWidget(parent), fEdit(associate), fMin(min), fMax(max), fIncrement(increment), fLast(min) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* up = new QToolButton(this);
  auto* down = new QToolButton(this);
  up->setArrowType(Qt::UpArrow);
  down->setArrowType(Qt::DownArrow);
  up->setFixedSize(17, 11);
  down->setFixedSize(17, 11);
  up->setAutoRepeat(true);
  down->setAutoRepeat(true);
  layout->addWidget(up);
  layout->addWidget(down);
  connect(up, &QToolButton::clicked, this, [this] { Click(1); });
  connect(down, &QToolButton::clicked, this, [this] { Click(-1); });
  Position();  // the edit's number is the first position
  fLast = Position();
}

int TUpDown::Position() const {
  const auto value = numtext::ParseInt(fEdit->text().trimmed().toStdString());
  if (value) fLast = static_cast<int>(std::clamp<std::int64_t>(*value, fMin, fMax));
  return fLast;
}

void TUpDown::SetPosition(int position) {
  fLast = std::clamp(position, fMin, fMax);
  fEdit->setText(QString::fromStdString(numtext::FormatInt(fLast)));
}

void TUpDown::ShowPosition() {
  const int position = Position();
  if (fEdit->text() != QString::number(position)) SetPosition(position);
}

void TUpDown::Click(int steps) { SetPosition(Position() + steps * fIncrement); }

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setTickPosition(QSlider::TicksBelow);
  setTickInterval(1);
  setPageStep(1);
}

void TTrackBar::SetSelEnd(int value) {
  fSelEnd = value;
  update();
}

void TTrackBar::paintEvent(QPaintEvent* event) {
  QSlider::paintEvent(event);
  if (fSelEnd <= minimum() || maximum() <= minimum()) return;
  // The selection from the minimum to SelEnd as a bar along the groove.
  QStyleOptionSlider opt;
  initStyleOption(&opt);
  const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
  const int end = std::min(fSelEnd, maximum());
  const int x1 = QStyle::sliderPositionFromValue(minimum(), maximum(), end, groove.width());
  QPainter p(this);
  p.fillRect(QRect(groove.left(), groove.bottom() + 1, x1, 3), QColor(0, 120, 215));
}

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) { setFixedHeight(19); }

void TStatusBar::AddPanel(const QString& text, int width) { fPanels.push_back({text, width, {}}); }

void TStatusBar::SetPanelText(int index, const QString& text) {
  fPanels.at(static_cast<std::size_t>(index)).text = text;
  update(PanelRect(index));
}

void TStatusBar::SetOwnerDraw(int index, std::function<void(QPainter&, const QRect&)> draw) {
  fPanels.at(static_cast<std::size_t>(index)).draw = std::move(draw);
  update();
}

QRect TStatusBar::PanelRect(int index) const {
  int left = 0;
  for (int i = 0; i < index; ++i) left += fPanels[static_cast<std::size_t>(i)].width;
  const bool last = index == PanelCount() - 1;
  const int width = last ? std::max(0, this->width() - left) : fPanels[static_cast<std::size_t>(index)].width;
  return QRect(left, 0, width, height());
}

int TStatusBar::PanelAt(int x) const {
  std::vector<int> widths;
  for (const TPanel& panel : fPanels) widths.push_back(panel.width);
  return ::PanelAt(widths, x);
}

void TStatusBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  for (int i = 0; i < PanelCount(); ++i) {
    const QRect r = PanelRect(i);
    if (r.width() <= 0) continue;
    const QRect inner = r.adjusted(1, 1, -2, -1);
    const TPanel& panel = fPanels[static_cast<std::size_t>(i)];
    if (panel.draw) {
      panel.draw(p, inner);
    } else {
      p.setPen(palette().color(QPalette::WindowText));
      p.drawText(inner.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, panel.text);
    }
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(r.right(), r.top() + 2, r.right(), r.bottom() - 2);
  }
}

void TStatusBar::mousePressEvent(QMouseEvent* event) {
  if (onClick) onClick(event->position().toPoint().x(), event->position().toPoint().y());
  QWidget::mousePressEvent(event);
}

TImage::TImage(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImage::Clear() {
  fPicture.SetSize(0, 0);
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  if (fPicture.Empty()) return;
  // A view of the bitmap's own buffer: nothing is copied.
  const QImage view(fPicture.Bits(), fPicture.Width(), fPicture.Height(), fPicture.Stride(), QImage::Format_RGB32);
  QPainter p(this);
  p.drawImage(0, 0, view);
}

void TImage::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (onMouseDown) onMouseDown(event->button(), event->modifiers(), event->buttons(), pos.x(), pos.y());
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (onMouseUp) onMouseUp(event->button(), event->modifiers(), event->buttons(), pos.x(), pos.y());
}

void TImage::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (onMouseMove) onMouseMove(event->modifiers(), event->buttons(), pos.x(), pos.y());
}

void TMemo::mouseDoubleClickEvent(QMouseEvent* event) {
  if (onDblClick) onDblClick();
  QPlainTextEdit::mouseDoubleClickEvent(event);
}

void TImage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (onResize) onResize();
}

void ShowModeOn(QAbstractButton* button, bool on) {
  // The disabled look stays the style's: a disabled button must not read as usable.
  QPalette palette = button->palette();
  const QPalette normal = QApplication::palette(button);
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
    palette.setColor(group, QPalette::ButtonText,
                     on ? QColor(255, 0, 0) : normal.color(group, QPalette::WindowText));
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, normal.color(QPalette::Disabled, QPalette::ButtonText));
  button->setPalette(palette);
}

QString WrappedToolTip(const QString& text) {
  if (text.size() <= kToolTipWrapLength || Qt::mightBeRichText(text)) return text;
  // Qt wraps a rich-text tip to a readable width; a plain one never.
  return QStringLiteral("<p>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

bool TToolTipWrapper::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ToolTip || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  const QString tip = widget->toolTip();
  const QString wrapped = WrappedToolTip(tip);
  if (wrapped == tip) return false;
  QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), wrapped, widget);
  return true;
}

QRect PlaceWithin(const QRect& available, QSize wanted, QSize minimum, QMargins frame) {
  const QSize room = (available.size() - QSize(frame.left() + frame.right(), frame.top() + frame.bottom()))
                         .expandedTo(QSize(1, 1));
  const QSize size = wanted.expandedTo(minimum.boundedTo(room)).boundedTo(room);
  QRect client(QPoint(0, 0), size);
  client.moveCenter(available.center());
  // Whole within the area, frame included, even when centring would push it out.
  client.moveLeft(std::max(client.left(), available.left() + frame.left()));
  client.moveTop(std::max(client.top(), available.top() + frame.top()));
  return client;
}
