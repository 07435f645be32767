#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QLineEdit>
#include <QMargins>
#include <QRect>
#include <QPlainTextEdit>
#include <QSlider>
#include <QWidget>

#include "platform/Bitmap.h"

class QAbstractButton;
class QToolButton;

// Small widgets in place of the Windows controls that Qt has no twin for.

// Up-down arrows bound to an edit: the position is the edit's text read as an
// integer (so typing moves it too), kept within [min, max]; the arrows step it.
class TUpDown : public QWidget {
public:
  TUpDown(QLineEdit* associate, int min, int max, int increment, QWidget* parent = nullptr);

  // The edit's number clamped to the range; the last known position when the text
  // is not a number.
  int Position() const;
  void SetPosition(int position);  // clamped; writes the edit
  // The edit shows the position when it shows anything else (nothing, a text
  // that is not a number, a number out of range): called where the position is
  // used, so the field never hides the value in effect.
  void ShowPosition();
  void Click(int steps);           // as clicking the up (positive) or down arrow
  int Min() const { return fMin; }
  int Max() const { return fMax; }
  int Increment() const { return fIncrement; }
  QLineEdit* Associate() const { return fEdit; }

private:
  QLineEdit* fEdit;
  int fMin, fMax, fIncrement;
  mutable int fLast;
};

// A slider that also shows a selection end (the interpolation's live worker count).
class TTrackBar : public QSlider {
public:
  explicit TTrackBar(QWidget* parent = nullptr);
  int SelEnd() const { return fSelEnd; }
  void SetSelEnd(int value);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  int fSelEnd = 0;
};

// The owner-drawn status bar: panels of fixed widths left to right, the last one
// taking the rest. A click reports the panel under the mouse; panels with a draw
// hook are painted by the program.
class TStatusBar : public QWidget {
public:
  struct TPanel {
    QString text;
    int width = 0;
    std::function<void(QPainter&, const QRect&)> draw;  // owner-drawn when set
  };

  explicit TStatusBar(QWidget* parent = nullptr);

  int PanelCount() const { return static_cast<int>(fPanels.size()); }
  void AddPanel(const QString& text, int width);
  QString PanelText(int index) const { return fPanels.at(static_cast<std::size_t>(index)).text; }
  void SetPanelText(int index, const QString& text);
  int PanelWidth(int index) const { return fPanels.at(static_cast<std::size_t>(index)).width; }
  void SetOwnerDraw(int index, std::function<void(QPainter&, const QRect&)> draw);
  QRect PanelRect(int index) const;
  // The first panel whose right edge lies beyond x; the last panel when none does.
  int PanelAt(int x) const;

  std::function<void(int x, int y)> onClick;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

private:
  std::vector<TPanel> fPanels;
};

// An image control: shows its picture unscaled at the top-left corner, straight
// from the bitmap's own buffer, and reports the mouse in picture pixels.
class TImage : public QWidget {
public:
  explicit TImage(QWidget* parent = nullptr);

  // The picture; empty (0 x 0) when the control shows nothing.
  TBitmap& Picture() { return fPicture; }
  const TBitmap& Picture() const { return fPicture; }
  TCanvas& Canvas() { return fPicture.Canvas(); }
  // Empties the picture.
  void Clear();
  // Repaints after the picture was drawn on.
  void Changed() { update(); }

  std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, Qt::MouseButtons, int x, int y)> onMouseDown,
      onMouseUp;
  std::function<void(Qt::KeyboardModifiers, Qt::MouseButtons, int x, int y)> onMouseMove;
  std::function<void()> onResize;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  TBitmap fPicture;
};

// A memo: plain text lines, with a double-click hook.
class TMemo : public QPlainTextEdit {
public:
  explicit TMemo(QWidget* parent = nullptr) : QPlainTextEdit(parent) {}
  std::function<void()> onDblClick;

protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// The caption of the button that switched a mouse mode on: red while the mode is
// on, the window-text colour otherwise.
void ShowModeOn(QAbstractButton* button, bool on);

// Long tool tips wrapped: the text shown for a plain tip longer than
// kToolTipWrapLength characters, as rich text that Qt wraps to a readable width.
inline constexpr int kToolTipWrapLength = 80;
QString WrappedToolTip(const QString& text);

// Installed on the application: shows every long plain tool tip wrapped, while
// the widgets keep their texts as set.
class TToolTipWrapper : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// A window's client rectangle within a screen's `available` area: the wanted
// size, never below `minimum` unless the area is smaller, never above the area
// less the window's frame; centred, and moved right or down to keep the frame
// whole on the area.
QRect PlaceWithin(const QRect& available, QSize wanted, QSize minimum, QMargins frame);
